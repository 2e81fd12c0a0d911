// `palisade build --sign`: the signed installer verifies against a
// throwaway certificate authority made here with openssl, still reads back,
// and every error stops the build with status 2 and no output.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>

#include "builder_test_support.h"
#include "format/byte_order.h"
#include "format/pe_image.h"
#include "pe32_plus_image.h"

namespace palisade::builder {
namespace {

namespace fs = std::filesystem;
using test_support::BuilderTest;
using test_support::CommandResult;

constexpr char kPassword[] = "correct horse";

// A throwaway CA and code-signing certificate under kPassword, made once
// for every test.
class SignTest : public BuilderTest {
 protected:
  static void SetUpTestSuite() {
    keys_ = fs::temp_directory_path() / ("palisade-sign-keys-" + std::to_string(getpid()));
    std::string command = std::string(PALISADE_SOURCE_DIR) + "/tests/make-signing-keys '" + keys_.string() + "' '" +
                          kPassword + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }
  static void TearDownTestSuite() { fs::remove_all(keys_); }

  void SetUp() override {
    BuilderTest::SetUp();
    WriteText("app/a.txt", "alpha");
  }

  static std::string Key(const char* name) { return (keys_ / name).string(); }

  // `osslsigncode verify` of the build's output against the test CA.
  int Verify(const std::string& output = "setup.exe") {
    std::string command = "osslsigncode verify -CAfile '" + Key("ca.pem") + "' -in '" + Path(output).string() +
                          "' >/dev/null 2>&1";
    return std::system(command.c_str());
  }

  // The names in the test folder: a failed build leaves nothing new.
  std::vector<std::string> FolderNames() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  static fs::path keys_;
};

fs::path SignTest::keys_;

TEST_F(SignTest, SignedInstallersVerifyAndReadBack) {
  variables_["SIGN_PASSWORD"] = kPassword;
  struct Case {
    const char* name;
    std::string signing;  // the project's [signing] section
    std::vector<std::string> options;
  };
  WriteText("certs/signer.pem", test_support::ReadText(Key("signer.pem")));
  WriteText("certs/signer.key", test_support::ReadText(Key("signer.key")));
  const Case cases[] = {
      {"PKCS#12 and a password variable", "",
       {"--sign", "--sign-pkcs12", Key("signer.p12"), "--sign-password-env", "SIGN_PASSWORD"}},
      {"certificate, key and a password file", "",
       {"--sign-cert", Key("signer.pem"), "--sign-key", Key("signer.key"), "--sign-password-file",
        Key("password.txt")}},
      {"the project's [signing], relative to the project",
       "[signing]\ncert = \"certs/signer.pem\"\nkey = \"certs/signer.key\"\npassword-env = \"SIGN_PASSWORD\"\n",
       {"--sign"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> options = c.options;
    options.push_back("--quiet");
    CommandResult built = Build(std::string(test_support::kMinimalProject) + c.signing, "setup.exe", options);
    ASSERT_EQ(built.status, 0) << built.err;
    EXPECT_EQ(Verify(), 0);
    CommandResult extracted = Run({"extract", Path("setup.exe").string(), "-o", Path("out").string()});
    EXPECT_EQ(extracted.status, 0) << extracted.err;
    EXPECT_EQ(test_support::ReadText(Path("out/a.txt")), "alpha");
    fs::remove_all(Path("out"));
    fs::remove(Path("setup.exe"));
  }
}

// osslsigncode puts the certificate table's entry where PE32+ keeps it;
// the uninstaller image drops the table and clears that entry.
TEST_F(SignTest, A64BitInstallerSignsAndItsUninstallerDropsTheSignature) {
  namespace plus = format::test_bytes::pe32_plus;
  WriteBytes("engine.exe", format::test_bytes::Pe32PlusImage());
  variables_["SIGN_PASSWORD"] = kPassword;
  ASSERT_EQ(Build(test_support::kMinimalProject, "unsigned.exe", {"--quiet"}).status, 0);
  CommandResult built = Build(test_support::kMinimalProject, "setup.exe",
                              {"--sign-pkcs12", Key("signer.p12"), "--sign-password-env", "SIGN_PASSWORD", "--quiet"});
  ASSERT_EQ(built.status, 0) << built.err;
  EXPECT_EQ(Verify(), 0);
  std::vector<uint8_t> image = ReadBytes("setup.exe"), plain = ReadBytes("unsigned.exe");
  const uint32_t security = plus::kPeHeader + plus::kSecurityDirectoryField;
  EXPECT_EQ(format::LoadLe32(image.data() + security), plain.size()) << "the table follows the payload";
  format::SectionLocation section = format::FindPayloadSection(image).section;
  auto withoutPayload = [&section](std::span<const uint8_t> file) {
    return format::StripPayloadSection(file.first(section.rawOffset), file.subspan(section.rawOffset + section.rawSize),
                                       section);
  };
  std::vector<uint8_t> stripped = withoutPayload(image);
  EXPECT_EQ(format::LoadLe32(stripped.data() + security), 0u);
  EXPECT_EQ(format::LoadLe32(stripped.data() + security + 4), 0u);
  EXPECT_EQ(stripped, withoutPayload(plain)) << "the uninstaller of the unsigned installer";
}

TEST_F(SignTest, UnsignedBuildsDoNotVerify) {
  ASSERT_EQ(Build(test_support::kMinimalProject, "setup.exe", {"--quiet"}).status, 0);
  EXPECT_NE(Verify(), 0);
}

TEST_F(SignTest, SigningErrorsStopTheBuildAndLeaveNothing) {
  variables_["SIGN_PASSWORD"] = kPassword;
  variables_["WRONG_PASSWORD"] = "battery staple";
  struct Case {
    std::vector<std::string> options;
    std::string project;  // added to the minimal project
    std::string error;  // part of the message on standard error
  };
  const Case cases[] = {
      {{"--sign-pkcs12", Key("signer.p12"), "--sign-password-env", "WRONG_PASSWORD"}, "",
       "osslsigncode could not sign the installer"},
      {{"--sign-pkcs12", Key("absent.p12"), "--sign-password-env", "SIGN_PASSWORD"}, "",
       "the PKCS#12 file \"" + Key("absent.p12") + "\" does not exist"},
      {{"--sign-pkcs12", Key("signer.p12"), "--sign-password-env", "UNSET_PASSWORD"}, "",
       "the environment variable UNSET_PASSWORD holding the signing password is not set"},
      {{"--sign-cert", Key("signer.pem"), "--sign-password-env", "SIGN_PASSWORD"}, "",
       "a signing certificate needs its key"},
      {{"--sign"}, "", "signing needs either a PKCS#12 file"},
      {{"--sign-pkcs12", Key("signer.p12"), "--sign-password-file", Key("absent.txt")}, "",
       "the password file \"" + Key("absent.txt") + "\" does not exist"},
      {{"--sign"}, "[signing]\npkcs12 = \"signer.p12\"\npassword = \"hunter2\"\n", "[signing] holds a password"},
      {{"--sign-pkcs12", Key("signer.p12"), "--sign-password-env", "SIGN_PASSWORD"},
       "[installer]\nverify-stub = true\n", "set [installer] verify-stub = false"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    WriteText("palisade.toml", "");
    std::vector<std::string> before = FolderNames();
    CommandResult built = Build(std::string(test_support::kMinimalProject) + c.project, "setup.exe", c.options);
    EXPECT_EQ(built.status, 2);
    EXPECT_NE(built.err.find(c.error), std::string::npos) << built.err;
    EXPECT_EQ(FolderNames(), before);
  }
}

// A stand-in signer notes the password file it was given and has its
// builder stopped, as Ctrl+C or a kill would; the file must go with it.
TEST_F(SignTest, AnInterruptedSigningTakesThePasswordFileAway) {
  variables_["SIGN_PASSWORD"] = kPassword;
  const fs::path given = Path("given");
  WriteText("signer/osslsigncode", "#!/bin/sh\nwhile [ \"$1\" != -readpass ]; do shift; done\necho \"$2\" > '" +
                                       given.string() + "'\nkill -s \"$STOP_WITH\" $PPID\nexit 1\n");
  fs::permissions(Path("signer/osslsigncode"), fs::perms::owner_all);
  const std::string path = Path("signer").string() + ":" + getenv("PATH");
  const std::vector<std::string> options = {"--sign-pkcs12", Key("signer.p12"), "--sign-password-env",
                                            "SIGN_PASSWORD"};
  for (const auto& [signal, name] : {std::pair{SIGINT, "INT"}, std::pair{SIGTERM, "TERM"}}) {
    SCOPED_TRACE(name);
    fs::remove(given);
    EXPECT_EXIT(
        {
          setenv("PATH", path.c_str(), 1);
          setenv("STOP_WITH", name, 1);
          Build(test_support::kMinimalProject, "setup.exe", options);
        },
        ::testing::KilledBySignal(signal), "");
    std::string passwordFile = test_support::ReadText(given);
    ASSERT_FALSE(passwordFile.empty());
    passwordFile.pop_back();  // echo's line break
    EXPECT_FALSE(fs::exists(passwordFile)) << passwordFile;
  }
}

TEST_F(SignTest, AMissingSignerIsNamed) {
  fs::create_directories(Path("empty"));
  CommandResult built;
  {
    test_support::ScopedVariable path("PATH", Path("empty").string());
    built = Build(test_support::kMinimalProject, "setup.exe",
                  {"--sign-pkcs12", Key("signer.p12"), "--sign-password-file", Key("password.txt")});
  }
  EXPECT_EQ(built.status, 2);
  EXPECT_NE(built.err.find("signing needs osslsigncode, which is not installed"), std::string::npos) << built.err;
  EXPECT_FALSE(fs::exists(Path("setup.exe")));
}

}  // namespace
}  // namespace palisade::builder
