#include <gtest/gtest.h>

#include "core/ts_crash.h"
#include "core/ts_format.h"
#include "core/ts_http.h"
#include "core/ts_system.h"
#include "ui/crash_report.h"

namespace palisade {
namespace {

TEST(MultipartForm, IsAssembledAsTheEndpointReadsIt) {
  const std::string body = ts::MultipartFormBody({{"from", "a@b.example"}, {"body", "line 1\r\nline 2"}});
  EXPECT_EQ(body,
            "--AaB03x\r\n"                                    // boundary
            "Content-Disposition: form-data; name=\"from\"\r\n"  // first field's name
            "\r\n"                                            // end of the part's head
            "a@b.example\r\n"                                 // its value
            "--AaB03x\r\n"                                    // boundary
            "Content-Disposition: form-data; name=\"body\"\r\n"  // second field's name
            "\r\n"                                            // end of the part's head
            "line 1\r\nline 2\r\n"                            // its value
            "--AaB03x--\r\n");                                // closing boundary
}

// The report carries what the user typed and the machine's paths: only an
// https address takes it, never plain http.
TEST(SplitHttpsAddress, TakesOnlyHttpsWithAHostAndAPort) {
  const struct {
    const char* address;
    bool split;
    const char* name;
    int port;
    const char* path;
  } cases[] = {
      {"https://crash.example/form", true, "crash.example", 443, "/form"},
      {"https://crash.example", true, "crash.example", 443, "/"},
      {"https://127.0.0.1:8443/a/b?x=1", true, "127.0.0.1", 8443, "/a/b?x=1"},
      {"http://crash.example/form", false, "", 0, ""},
      {"HTTP://crash.example/form", false, "", 0, ""},
      {"ftp://crash.example/form", false, "", 0, ""},
      {"https:///form", false, "", 0, ""},
      {"https://:443/form", false, "", 0, ""},
      {"https://crash.example:/form", false, "", 0, ""},
      {"https://crash.example:0/form", false, "", 0, ""},
      {"https://crash.example:65536/form", false, "", 0, ""},
      {"https://crash.example:44x/form", false, "", 0, ""},
  };
  for (const auto& c : cases) {
    ts::HttpsAddress parts;
    ASSERT_EQ(ts::SplitHttpsAddress(c.address, parts), c.split) << c.address;
    EXPECT_EQ(CrashReportAddressIsSecure(c.address), c.split) << c.address;
    if (!c.split) continue;
    EXPECT_EQ(parts.name, c.name);
    EXPECT_EQ(parts.port, c.port);
    EXPECT_EQ(parts.path, c.path);
  }
}

TEST(CrashReportForm, AddsWhatTheUserEnteredAndNothingForEmptyFields) {
  const struct {
    const char* email;
    const char* comments;
    const char* body;
    const char* headers;
  } cases[] = {
      {"", "", "REPORT", "X-Kestrel-Internal: 2\r\n"},
      {"me@x.example", "", "REPORT\r\nEmail: me@x.example\r\n",
       "X-Kestrel-Internal: 2\r\nX-Exception-Email: me@x.example\r\nReply-To: me@x.example\r\n"},
      {"", "it broke\r\nagain", "REPORT\r\nComments:\r\nit broke\r\nagain", "X-Kestrel-Internal: 2\r\n"},
  };
  for (const auto& c : cases) {
    std::vector<ts::FormField> form = CrashReportForm("REPORT", {c.email, c.comments}, "s@acme.example", "setup.exe");
    ASSERT_EQ(form.size(), 4u);
    EXPECT_EQ(form[0].name, "from");
    EXPECT_EQ(form[0].value, "s@acme.example");
    EXPECT_EQ(form[1].name, "body");
    EXPECT_EQ(form[1].value, c.body);
    EXPECT_EQ(form[2].name, "subject");
    EXPECT_EQ(form[2].value, "Exception - Installer 39.0.1: setup.exe");
    EXPECT_EQ(form[3].name, "headers");
    EXPECT_EQ(form[3].value, c.headers);
  }
}

TEST(ExceptionName, NamesTheKnownCodesOnly) {
  EXPECT_STREQ(ts::ExceptionName(0xC0000005), "Illegal memory access.");
  EXPECT_STREQ(ts::ExceptionName(0xC0000094), "Integer divide by zero.");
  EXPECT_STREQ(ts::ExceptionName(0xE06D7363), "Visual C++ structured exception handling.");
  EXPECT_STREQ(ts::ExceptionName(0xC0000001), "");
}

void ThisModulesCode() {}

// An access violation that wrote to 0x10, at an address in this program,
// with a register set of distinct values.
ts::CrashRecord WriteToSixteen() {
  ts::CrashRecord crash;
  crash.code = 0xC0000005;
  crash.address = reinterpret_cast<const void*>(&ThisModulesCode);
  crash.write = true;
  crash.memoryAddress = reinterpret_cast<const void*>(0x10);
  CONTEXT& c = crash.context;
  c.EFlags = 0x246;
#if defined(__x86_64__)
  c.Rax = 0xA1;
  c.Rbx = 0xB2;
  c.Rcx = 0xC3;
  c.Rdx = 0xD4;
  c.Rdi = 0xE5;
  c.Rsi = 0xF6;
  c.Rip = 0;
  c.Rbp = 0;
  c.Rsp = 0x1234;
  c.R8 = 0x108;
  c.R9 = 0x109;
  c.R10 = 0x10A;
  c.R11 = 0x10B;
  c.R12 = 0x10C;
  c.R13 = 0x10D;
  c.R14 = 0x10E;
  c.R15 = 0x7000000010F;
#else
  c.Eax = 0xA1;
  c.Ebx = 0xB2;
  c.Ecx = 0xC3;
  c.Edx = 0xD4;
  c.Edi = 0xE5;
  c.Esi = 0xF6;
  c.Eip = 0;
  c.Ebp = 0;
  c.Esp = 0x1234;
#endif
  c.SegCs = 0x23;
  c.SegDs = 0x2B;
  c.SegEs = 0x2C;
  c.SegFs = 0x53;
  c.SegGs = 0x2D;
  c.SegSs = 0x2E;
  return crash;
}

// The general registers as each engine names them, in the width of its
// words; the segment registers follow in eight digits on both.
#if defined(__x86_64__)
constexpr char kGeneralRegisterLines[] =
    "  RAX: 00000000000000A1\r\n"
    "  RBX: 00000000000000B2\r\n"
    "  RCX: 00000000000000C3\r\n"
    "  RDX: 00000000000000D4\r\n"
    "  RDI: 00000000000000E5\r\n"
    "  RSI: 00000000000000F6\r\n"
    "  RIP: 0000000000000000\r\n"
    "  RBP: 0000000000000000\r\n"
    "  RSP: 0000000000001234\r\n"
    "   R8: 0000000000000108\r\n"
    "   R9: 0000000000000109\r\n"
    "  R10: 000000000000010A\r\n"
    "  R11: 000000000000010B\r\n"
    "  R12: 000000000000010C\r\n"
    "  R13: 000000000000010D\r\n"
    "  R14: 000000000000010E\r\n"
    "  R15: 000007000000010F\r\n";
constexpr char kMemoryAddressSixteen[] = "0000000000000010";
#else
constexpr char kGeneralRegisterLines[] =
    "  EAX: 000000A1\r\n"
    "  EBX: 000000B2\r\n"
    "  ECX: 000000C3\r\n"
    "  EDX: 000000D4\r\n"
    "  EDI: 000000E5\r\n"
    "  ESI: 000000F6\r\n"
    "  EIP: 00000000\r\n"
    "  EBP: 00000000\r\n"
    "  ESP: 00001234\r\n";
constexpr char kMemoryAddressSixteen[] = "00000010";
#endif

TEST(CrashReport, NamesTheFaultItsPlaceAndTheRegisters) {
  ts::SetCrashProductName("Palisade Setup 39.0.1 Installer");
  const ts::CrashRecord crash = WriteToSixteen();
  const std::string report = ts::BuildCrashReport(crash);
  const std::string address = ts::Format("%0*llX", static_cast<int>(2 * sizeof(void*)),
                                         static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(crash.address)));
  EXPECT_EQ(report.rfind("Exception: Illegal memory access.\r\n"
                         "\r\nProduct: Palisade Setup 39.0.1 Installer\r\n"
                         "\r\n"
                         "Exception code: C0000005\r\n"
                         "Address: " + address + "\r\n"
                         "Module: " + ts::Utf8FromWide(ts::ModuleFileName()) + "\r\n"
                         "Read/write: write\r\n"
                         "Memory address: " + kMemoryAddressSixteen + "\r\n"
                         "Thread ID: ",
                         0),
            0u)
      << report;
  EXPECT_NE(report.find(std::string("\r\nCPU Registers:\r\n"
                        "Flags: 00000246\r\n") +
                        kGeneralRegisterLines +
                        "   CS: 00000023\r\n"
                        "   DS: 0000002B\r\n"
                        "   ES: 0000002C\r\n"
                        "   FS: 00000053\r\n"
                        "   GS: 0000002D\r\n"
                        "   SS: 0000002E\r\n"
                        "\r\nModules:\r\n"),
            std::string::npos)
      << report;
  // No frame to walk from: the stack part is empty.
  EXPECT_EQ(report.substr(report.size() - 15), "\r\nCall Stack:\r\n");
}

TEST(CrashReport, AReadGivesTheReadLine) {
  ts::CrashRecord crash = WriteToSixteen();
  crash.write = false;
  EXPECT_NE(ts::BuildCrashReport(crash).find(std::string("\r\nRead/write: read\r\nMemory address: ") +
                                             kMemoryAddressSixteen + "\r\n"),
            std::string::npos);
}

TEST(CrashReport, AFatalErrorGivesItsMessageAndNoExceptionLinesOrRegisters) {
  ts::SetCrashProductName("Palisade Setup 39.0.1 Installer");
  ts::CrashRecord crash = WriteToSixteen();
  crash.code = ts::kFatalPseudoCode;
  crash.message = "Internal Fatal Error\r\nModule: ts_thread\r\nLine: 464";
  const std::string report = ts::BuildCrashReport(crash);
  EXPECT_EQ(report.rfind("Fatal error: Internal Fatal Error\r\nModule: ts_thread\r\nLine: 464\r\n"
                         "\r\nProduct: Palisade Setup 39.0.1 Installer\r\n"
                         "\r\n"
                         "Thread ID: ",
                         0),
            0u)
      << report;
  for (const char* absent : {"Exception", "Address: ", "Read/write: ", "CPU Registers:", "EAX: "}) {
    EXPECT_EQ(report.find(absent), std::string::npos) << absent << "\n" << report;
  }
  EXPECT_NE(report.find("\r\n\r\nModules:\r\n"), std::string::npos) << report;
}

int g_callbackCalls = 0;
LONG CountingCallback(const ts::CrashRecord&) {
  ++g_callbackCalls;
  return EXCEPTION_EXECUTE_HANDLER;
}

LONG Filtered(DWORD code) {
  EXCEPTION_RECORD record = {};
  record.ExceptionCode = code;
  CONTEXT context = {};
  EXCEPTION_POINTERS pointers = {&record, &context};
  return ts::CrashFilter(&pointers);
}

// A crash inside the crash handling: the inner one must pass on.
LONG g_innerResult = -1;
LONG ReenteringCallback(const ts::CrashRecord& crash) {
  g_innerResult = Filtered(crash.code);
  return EXCEPTION_EXECUTE_HANDLER;
}

TEST(CrashFilter, PassesOnWhatOwnHandlersExpectAndCallsBackForTheRest) {
  LPTOP_LEVEL_EXCEPTION_FILTER previous = SetUnhandledExceptionFilter(nullptr);
  ts::SetCrashCallback(CountingCallback);
  g_callbackCalls = 0;
  for (DWORD passed : {0x80000003u, 0x80000004u, 0xC0000025u, 0xE06D7363u}) {
    EXPECT_EQ(Filtered(passed), EXCEPTION_CONTINUE_SEARCH) << std::hex << passed;
  }
  EXPECT_EQ(g_callbackCalls, 0);
  EXPECT_EQ(Filtered(0xC0000005), EXCEPTION_EXECUTE_HANDLER);
  EXPECT_EQ(Filtered(0xC0000094), EXCEPTION_EXECUTE_HANDLER);
  EXPECT_EQ(g_callbackCalls, 2);

  ts::SetCrashCallback(ReenteringCallback);
  EXPECT_EQ(Filtered(0xC0000005), EXCEPTION_EXECUTE_HANDLER);
  EXPECT_EQ(g_innerResult, EXCEPTION_CONTINUE_SEARCH);

  ts::SetCrashCallback(nullptr);
  EXPECT_EQ(Filtered(0xC0000005), EXCEPTION_CONTINUE_SEARCH);
  SetUnhandledExceptionFilter(previous);
}

void SetFlag(void* flag) { *static_cast<bool*>(flag) = true; }
void WriteToNull(void*) { *static_cast<volatile int*>(nullptr) = 1; }

TEST(CallGuarded, ACrashEndsOnlyTheCallsThreadAndIsNotReported) {
  LPTOP_LEVEL_EXCEPTION_FILTER previous = SetUnhandledExceptionFilter(nullptr);
  ts::SetCrashCallback(CountingCallback);
  g_callbackCalls = 0;
  bool ran = false;
  EXPECT_TRUE(ts::CallGuarded(SetFlag, &ran));
  EXPECT_TRUE(ran);
  EXPECT_FALSE(ts::CallGuarded(WriteToNull, nullptr));
  EXPECT_EQ(g_callbackCalls, 0);
  // Once the call is over, crashes reach the callback again.
  EXPECT_EQ(Filtered(0xC0000005), EXCEPTION_EXECUTE_HANDLER);
  EXPECT_EQ(g_callbackCalls, 1);
  ts::SetCrashCallback(nullptr);
  SetUnhandledExceptionFilter(previous);
}

}  // namespace
}  // namespace palisade
