#include <gtest/gtest.h>

#include "core/ts_csv.h"

namespace {

struct FieldCase {
  const char* field;
  const char* written;
};

TEST(CsvLine, QuotesOnlyFieldsThatAReaderWouldSplitOrTrim) {
  const FieldCase cases[] = {
      {"plain", "plain"},
      {"", ""},
      {"C:\\Program Files\\App", "C:\\Program Files\\App"},
      {"a,b", "\"a,b\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"tab\there", "\"tab\there\""},
      {"two\r\nlines", "\"two\r\nlines\""},
      {"line\nfeed", "\"line\nfeed\""},
      {"semi;colon", "\"semi;colon\""},
      {"|\xC3\xA9", "\"|\xC3\xA9\""},
      {" leading", "\" leading\""},
      {"trailing ", "\"trailing \""},
      {"'apostrophe", "\"'apostrophe\""},
      {"#hash", "\"#hash\""},
      {"inner 'quote' and #", "inner 'quote' and #"},
      {"*Demo", "*Demo"},
  };
  for (const FieldCase& c : cases) {
    EXPECT_EQ(ts::CsvLine({c.field}), c.written) << c.field;
    ts::Vector<ts::Text> back = ts::CsvFields(c.written);
    ASSERT_EQ(back.Count(), 1) << c.written;
    EXPECT_EQ(back[0], c.field) << c.written;
  }
}

TEST(CsvLine, JoinsWithCommas) {
  EXPECT_EQ(ts::CsvLine({"a", "", "c d", "1"}), "a,,c d,1");
  EXPECT_EQ(ts::CsvLine({"", ""}), ",");
  EXPECT_EQ(ts::CsvLine({"x,y", "2"}), "\"x,y\",2");
}

struct SplitCase {
  const char* line;
  std::vector<const char*> fields;
};

TEST(CsvFields, ReadsQuotedAndUnquotedFieldsAlike) {
  const SplitCase cases[] = {
      {"", {""}},
      {"a", {"a"}},
      {"a,b,c", {"a", "b", "c"}},
      {",,", {"", "", ""}},
      {"  a  ,\tb\t", {"a", "b"}},
      {"\"a,b\",c", {"a,b", "c"}},
      {"  \"quoted\"  ,x", {"quoted", "x"}},
      {"\"\"\"\",\"\"", {"\"", ""}},
      {"\"open, never closed", {"open, never closed"}},
      {"\"a\"tail,b", {"atail", "b"}},
      {"un\"quoted,b", {"un\"quoted", "b"}},
      {"a;b|c", {"a;b|c"}},
      {"\"C:\\Program Files\\App\\setup.msi\",2", {"C:\\Program Files\\App\\setup.msi", "2"}},
  };
  for (const SplitCase& c : cases) {
    ts::Vector<ts::Text> fields = ts::CsvFields(c.line);
    ASSERT_EQ(fields.Count(), static_cast<int>(c.fields.size())) << c.line;
    for (int i = 0; i < fields.Count(); ++i) EXPECT_EQ(fields[i], c.fields[static_cast<size_t>(i)]) << c.line;
  }
}

TEST(CsvFields, LineOfAwkwardFieldsRoundTrips) {
  std::vector<std::string> fields = {"", " a ", "b,c", "\"", "#x", "|\xC3\xA9", "tab\t", "end"};
  ts::Text line = ts::CsvLine({fields[0], fields[1], fields[2], fields[3], fields[4], fields[5], fields[6], fields[7]});
  ts::Vector<ts::Text> back = ts::CsvFields(line);
  ASSERT_EQ(back.Count(), static_cast<int>(fields.size()));
  for (int i = 0; i < back.Count(); ++i) EXPECT_EQ(back[i], fields[static_cast<size_t>(i)]);
}

}  // namespace
