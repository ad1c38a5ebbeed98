// The rigwright tool run as a real process, the way users and scripts run it.
#include <cryptopp/base64.h>
#include <cryptopp/osrng.h>
#include <cryptopp/rsa.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <thread>

#include "common/version.h"
#include "platform/folder_lock.h"
#include "wrapper/export/export_test_util.h"
#include "wrapper/package/package_test_util.h"
#include "wrapper/package/package_writer.h"

namespace rigwright {
namespace {

using namespace rigwright::testing;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Starts the tool with its standard error on `err`; its output goes nowhere.
pid_t Start(const std::vector<std::string>& args, const std::string& err) {
  const pid_t child = ::fork();
  if (child != 0) return child;
  const int errFd = ::open(err.c_str(), O_RDWR | O_NOCTTY | O_CREAT | O_TRUNC, 0600);
  const int nullFd = ::open("/dev/null", O_WRONLY);
  ::dup2(errFd, 2);
  ::dup2(nullFd, 1);
  std::vector<char*> argv = {const_cast<char*>(RIGWRIGHT_CLI)};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  ::execv(RIGWRIGHT_CLI, argv.data());
  ::_exit(127);
}

class CliTest : public MachineFolderTest {
 protected:
  Outcome Run(const std::vector<std::string>& args, const std::string& environment = "") {
    // Appended piece by piece: GCC 12 warns falsely about `" " + std::string&&` at -O3.
    std::string command = environment;
    command += ' ';
    command += Quote(RIGWRIGHT_CLI);
    for (const std::string& arg : args) {
      command += ' ';
      command += Quote(arg);
    }
    const std::string out = (dir_.path() / "stdout.txt").string();
    const std::string err = (dir_.path() / "stderr.txt").string();
    command += " >";
    command += Quote(out);
    command += " 2>";
    command += Quote(err);
    const int status = std::system(command.c_str());
    Outcome outcome{WIFEXITED(status) ? WEXITSTATUS(status) : -1, Text(ReadBytes(out)),
                    Text(ReadBytes(err))};
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return outcome;
  }

  std::string Machine() {
    dir_.Write("Mill/base.stl", "base");
    return WriteMachine(R"({"Header":{"GUID":"m"},"Base":{"Path":"base.stl"}})");
  }

  // A package holding records with the given names, signed like ours.
  std::string CraftedPackage(const std::vector<std::string>& names) {
    FileMap files;
    for (const std::string& name : names) files[name] = {'x'};
    return WritePackage("crafted.OrvaneSim", files);
  }

  std::string WritePackage(const std::string& name, const FileMap& files) {
    dir_.Write(name, Text(SignedPackage(PackFiles(files))));
    return dir_.text() + name;
  }

  static Bytes SignedPackage(const Bytes& payload) {
    std::string error;
    return PackageSigner::Create(&error)->Sign(payload);
  }
};

int CountLines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

TEST_F(CliTest, BundleThenVerifyAndListIncludingNestedPackages) {
  const std::string machine = Machine();
  const std::string post = dir_.Write("B2.pst", "post").string();
  const std::string bundle = dir_.text() + "out/Mill.OrvaneSimBundle";
  const Outcome made = Run({"bundle", machine, bundle, "--post", post});
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_EQ(made.err, "");

  const Outcome verified = Run({"verify", bundle});
  ASSERT_EQ(verified.status, 0) << verified.err;
  EXPECT_NE(verified.out.find("[Mill.OrvaneSim]: OK, signature verified, 2 records"),
            std::string::npos) << verified.out;
  EXPECT_NE(verified.out.find("[Mill.OrvaneSimCfg]: OK"), std::string::npos) << verified.out;

  const Outcome shipped = Run({"verify", bundle, "--public-key",
                               RIGWRIGHT_SOURCE_DIR "/data/keys/rigwright-dev-public.pem"});
  EXPECT_EQ(shipped.status, 0) << shipped.err;

  const Outcome listed = Run({"list", bundle});
  ASSERT_EQ(listed.status, 0) << listed.err;
  for (const char* name : {"B2.pst", "Mill.OrvaneSim", "Mill.OrvaneSimCfg", "base.stl", "config.json"}) {
    EXPECT_NE(listed.out.find(name), std::string::npos) << name << " in " << listed.out;
  }
}

// Without a target, Kelmora's machine folder must be there already, as for the export dialog: a
// folder made for a Kelmora that is not installed would hold machines nobody sees.
TEST_F(CliTest, InstallGoesToTheSimulatorsFolderUnderAppData) {
  const std::string appData = dir_.text() + "AppData";
  const std::string machine = Machine();
  const Outcome refused = Run({"install", machine}, "APPDATA=" + Quote(appData));
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.out, "");
  EXPECT_EQ(refused.err, "rigwright: install: Kelmora's machine folder " + appData +
                             "/Kelmora/MachineCfg/ is missing (is Kelmora installed for this "
                             "user?); give a target folder to install into another folder\n");
  EXPECT_FALSE(std::filesystem::exists(appData));

  std::filesystem::create_directories(appData + "/Kelmora/MachineCfg");
  const Outcome installed = Run({"install", machine}, "APPDATA=" + Quote(appData));
  ASSERT_EQ(installed.status, 0) << installed.err;
  EXPECT_EQ(dir_.Names("AppData/Kelmora/MachineCfg/Mill"),
            (std::vector<std::string>{"Mill.OrvaneSim", "Mill.OrvaneSimCfg"}));
}

TEST_F(CliTest, FailuresAreOneLineNamingTheFile) {
  const std::string machine = Machine();
  const Outcome noPost = Run({"bundle", machine, dir_.text() + "x.OrvaneSimBundle", "--post",
                              dir_.text() + "gone.pst"});
  EXPECT_EQ(noPost.status, 1);
  EXPECT_EQ(CountLines(noPost.err), 1) << noPost.err;
  EXPECT_NE(noPost.err.find("gone.pst: the external post file cannot be opened: No such file or "
                            "directory"),
            std::string::npos)
      << noPost.err;
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "x.OrvaneSimBundle"));
  const Outcome folder = Run({"bundle", dir_.text() + "Mill", dir_.text() + "x.OrvaneSimBundle"});
  EXPECT_EQ(folder.err, "rigwright: " + dir_.text() +
                            "Mill: the machine file cannot be opened: it is a folder\n");

  // JsonCpp's reader gives up on a machine nested deeper than it recurses: named, not the target.
  const std::string deep = dir_.Write("deep.mcfg", std::string(5000, '[')).string();
  const Outcome tooDeep = Run({"install", deep, dir_.text() + "target"});
  EXPECT_EQ(tooDeep.status, 1);
  EXPECT_EQ(tooDeep.err.rfind("rigwright: " + deep + ": not well-formed JSON: ", 0), 0u)
      << tooDeep.err;

  std::filesystem::remove(dir_.path() / "Mill" / "config.json");
  const Outcome noConfig = Run({"install", machine, dir_.text() + "target"});
  EXPECT_EQ(noConfig.status, 1);
  EXPECT_EQ(CountLines(noConfig.err), 1) << noConfig.err;
  EXPECT_NE(noConfig.err.find("Mill/config.json: cannot be opened: No such file or directory"),
            std::string::npos)
      << noConfig.err;

  const Outcome notAPackage = Run({"verify", machine});
  EXPECT_EQ(notAPackage.status, 1);
  EXPECT_EQ(CountLines(notAPackage.err), 1) << notAPackage.err;
  EXPECT_NE(notAPackage.err.find("Mill.mcfg: "), std::string::npos) << notAPackage.err;
}

TEST_F(CliTest, ModelsLeftOutAreWarnedAboutOneLineEachAndStrictRefusesThem) {
  const std::string machine =
      WriteMachine(R"({"Evil":{"Path":"../../etc/passwd"},"Gone":{"Path":"gone.stl"}})");
  const std::string bundle = dir_.text() + "b.OrvaneSimBundle";
  const Outcome made = Run({"bundle", machine, bundle});
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_EQ(made.err,
            "rigwright: warning: " + machine +
                R"(: model "../../etc/passwd" was refused as unsafe: the name leads out of the )"
                "machine data folder and the machine file's folder"
                "\nrigwright: warning: " +
                machine + ": model \"gone.stl\" was not found in " + dir_.text() + "Mill/ or " +
                dir_.text() + "\n");

  const Bytes earlier = ReadBytes(bundle);
  for (const char* command : {"bundle", "install"}) {
    const Outcome strict = Run({command, machine, bundle, "--strict"});
    EXPECT_EQ(strict.status, 1) << command;
    EXPECT_NE(strict.err.find(machine + R"(: model "../../etc/passwd" was refused as unsafe: )"
                                        R"(the name leads out of the machine data folder and the )"
                                        R"(machine file's folder (and 1 more); )"
                                        "nothing was written"),
              std::string::npos)
        << strict.err;
  }
  EXPECT_EQ(ReadBytes(bundle), earlier);
  EXPECT_EQ(dir_.Names(), (std::vector<std::string>{"Mill", "Mill.mcfg", "b.OrvaneSimBundle"}));
}

// Ctrl-C, SIGTERM or SIGHUP while an export runs stops it cleanly: the earlier bundle stays and
// nothing is left.
TEST_F(CliTest, CancellingSignalsStopTheExportAndKeepTheEarlierBundle) {
  dir_.Write("Mill/big.stl", CompressibleNoise(48 << 20));
  const std::string machine = WriteMachine(R"({"Big":{"Path":"big.stl"}})");
  const std::string bundle = dir_.Write("out/Mill.OrvaneSimBundle", "an earlier bundle").string();
  const std::string err = (dir_.path() / "stderr.txt").string();

  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(::strsignal(signal));
    const pid_t child = Start({"bundle", machine, bundle}, err);
    ASSERT_NE(child, -1);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ::kill(child, signal);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    // Ended by the signal after the clean-up, so that a shell loop stops too (130, 143, 129).
    ASSERT_TRUE(WIFSIGNALED(status)) << "exited with " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), signal);
    EXPECT_EQ(Text(ReadBytes(err)),
              "rigwright: " + machine + ": the export was cancelled; nothing was written\n");
    EXPECT_EQ(Text(ReadBytes(bundle)), "an earlier bundle");
    EXPECT_EQ(dir_.Names("out"), (std::vector<std::string>{"Mill.OrvaneSimBundle"}));
  }
}

// Every file in `folder` (hidden ones too) with its bytes.
std::map<std::string, Bytes> FilesIn(const std::filesystem::path& folder) {
  std::map<std::string, Bytes> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    files[entry.path().filename().string()] = ReadBytes(entry.path());
  }
  return files;
}

int ExitStatus(pid_t child) {
  int status = 0;
  return ::waitpid(child, &status, 0) == child && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// An install that dies in its commit (as in a crash or power cut: RIGWRIGHT_TEST_COMMIT_STOP ends
// it there at once) is finished or undone by the next one into the folder, before that one
// stages anything, even when that one dies too: the folder holds one whole machine throughout.
TEST_F(CliTest, AnInstallKilledInItsCommitIsSetRightByTheNextOne) {
  const std::string machine = Machine();
  const std::string post = dir_.text() + "B2.pst";
  std::map<std::string, Bytes> versions[4];
  for (int v = 1; v <= 3; ++v) {
    dir_.Write("Mill/base.stl", "base " + std::to_string(v));
    dir_.Write("B2.pst", "post " + std::to_string(v));
    const std::string reference = dir_.text() + "v" + std::to_string(v);
    ASSERT_EQ(Run({"install", machine, reference, "--post", post}).status, 0);
    versions[v] = FilesIn(reference + "/Mill");
  }
  const std::string target = dir_.text() + "Kelmora";
  struct Step {
    int version;
    const char* stop;  // where the install dies; empty: it does not
    int whole;         // the version the folder holds afterwards; 0: torn until the next install
  };
  for (const Step& step : {Step{1, "", 1}, Step{2, "recorded", 1}, Step{3, "named", 2},
                           Step{3, "replaced", 0}, Step{1, "named", 3}, Step{2, "", 2}}) {
    SCOPED_TRACE(std::to_string(step.version) + " stopped at " + step.stop);
    dir_.Write("Mill/base.stl", "base " + std::to_string(step.version));
    dir_.Write("B2.pst", "post " + std::to_string(step.version));
    const Outcome outcome = Run({"install", machine, target, "--post", post},
                                std::string("RIGWRIGHT_TEST_COMMIT_STOP=") + step.stop);
    EXPECT_EQ(outcome.status, *step.stop ? 86 : 0) << outcome.err;
    std::map<std::string, Bytes> files = FilesIn(target + "/Mill");
    // What a dead install left (its record, its files) is for the next one to settle.
    std::erase_if(files, [](const auto& file) { return file.first.rfind(".rigwright-", 0) == 0; });
    if (step.whole) {
      EXPECT_TRUE(files == versions[step.whole]) << "a machine of several versions";
    }
  }
  EXPECT_TRUE(FilesIn(target + "/Mill") == versions[2]) << "nothing of ours is left";
}

// Two installs of two versions of a machine into one folder at once take turns, and one that has
// to wait says so when someone watches its terminal.
TEST_F(CliTest, InstallsIntoOneFolderTakeTurnsAndSayWhenTheyWait) {
  const std::string one = Machine();
  dir_.Write("two/Mill/base.stl", "another base");
  dir_.Write("two/Mill/config.json", R"({"UserConfiguration":{"Models":[]}})");
  const std::string two = dir_.Write("two/Mill.mcfg", R"({"MachineDefinition": {"Header":{"GUID":"m"},"Base":{"Path":"base.stl"}}})").string();
  ASSERT_EQ(Run({"install", one, dir_.text() + "ref1"}).status, 0);
  ASSERT_EQ(Run({"install", two, dir_.text() + "ref2"}).status, 0);
  const std::filesystem::path folder = dir_.path() / "Kelmora" / "Mill";
  std::filesystem::create_directories(folder);

  auto held = std::make_unique<FolderLock>();  // another export holds the folder
  std::string error;
  ASSERT_TRUE(held->Lock(folder, nullptr, nullptr, &error)) << error;
  const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(terminal, 0);
  ASSERT_EQ(::grantpt(terminal), 0);
  ASSERT_EQ(::unlockpt(terminal), 0);
  const pid_t first = Start({"install", one, dir_.text() + "Kelmora"}, ::ptsname(terminal));
  const pid_t second = Start({"install", two, dir_.text() + "Kelmora"}, "/dev/null");
  std::string seen;
  const std::string line = "rigwright: waiting for another export into " + folder.string() + " to end";
  char buffer[256];
  for (ssize_t n; seen.find(line) == std::string::npos &&
                  (n = ::read(terminal, buffer, sizeof(buffer))) > 0;) {
    seen.append(buffer, static_cast<std::size_t>(n));  // ends when the tool closes the terminal
  }
  EXPECT_NE(seen.find(line), std::string::npos) << seen;
  held.reset();
  EXPECT_EQ(ExitStatus(first), 0);
  EXPECT_EQ(ExitStatus(second), 0);
  ::close(terminal);
  const std::map<std::string, Bytes> files = FilesIn(folder);
  EXPECT_TRUE(files == FilesIn(dir_.path() / "ref1" / "Mill") ||
              files == FilesIn(dir_.path() / "ref2" / "Mill"))
      << "a machine made of both";
}

TEST_F(CliTest, TamperedOrForeignPackagesFailVerification) {
  const std::string bundle = dir_.text() + "Mill.OrvaneSimBundle";
  ASSERT_EQ(Run({"bundle", Machine(), bundle}).status, 0);
  Bytes bytes = ReadBytes(bundle);
  bytes[bytes.size() - 30] ^= 1;
  dir_.Write("tampered.OrvaneSimBundle", Text(bytes));
  const Outcome tampered = Run({"verify", dir_.text() + "tampered.OrvaneSimBundle"});
  EXPECT_EQ(tampered.status, 1);
  EXPECT_NE(tampered.err.find("bad-signature"), std::string::npos) << tampered.err;

  CryptoPP::AutoSeededRandomPool rng;
  CryptoPP::RSA::PrivateKey other;
  other.GenerateRandomWithKeySize(rng, 3072);
  std::string der, base64;
  CryptoPP::StringSink sink(der);
  CryptoPP::RSA::PublicKey(other).DEREncode(sink);
  CryptoPP::StringSource(der, true, new CryptoPP::Base64Encoder(new CryptoPP::StringSink(base64)));
  const std::string pem = dir_.Write("other.pem", "-----BEGIN PUBLIC KEY-----\n" + base64 +
                                                      "-----END PUBLIC KEY-----\n").string();
  const Outcome foreign = Run({"verify", bundle, "--public-key", pem});
  EXPECT_EQ(foreign.status, 1);
  EXPECT_NE(foreign.err.find("bad-signature"), std::string::npos) << foreign.err;
}

TEST_F(CliTest, ExtractWritesRecordsAndKeepsExistingFiles) {
  const std::string package = CraftedPackage({"config.json", "models/a.stl", "\xC3\xA4.stl"});
  const std::string folder = dir_.text() + "x";
  ASSERT_EQ(Run({"extract", package, folder}).status, 0);
  EXPECT_EQ(dir_.Names("x"), (std::vector<std::string>{"config.json", "models", "\xC3\xA4.stl"}));
  EXPECT_EQ(Text(ReadBytes(dir_.path() / "x" / "models" / "a.stl")), "x");

  dir_.Write("x/config.json", "mine");
  const Outcome again = Run({"extract", package, folder});
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("already exists"), std::string::npos) << again.err;
  EXPECT_EQ(Text(ReadBytes(dir_.path() / "x" / "config.json")), "mine");
  EXPECT_EQ(Run({"extract", package, folder, "--overwrite"}).status, 0);
  EXPECT_EQ(Text(ReadBytes(dir_.path() / "x" / "config.json")), "x");
}

TEST_F(CliTest, ExtractRefusesNamesThatLeaveTheFolderAndWritesNothing) {
  for (const std::string& bad : {std::string("../escape.txt"), dir_.text() + "abs.txt",
                                 std::string("a\\b.txt"), std::string(""),
                                 std::string("m/../../up.txt")}) {
    const std::string package = CraftedPackage({"aaa.txt", bad});
    const Outcome outcome = Run({"extract", package, dir_.text() + "inside"});
    EXPECT_EQ(outcome.status, 1) << bad;
    EXPECT_NE(outcome.err.find("refused"), std::string::npos) << outcome.err;
    EXPECT_FALSE(std::filesystem::exists(dir_.path() / "inside")) << bad;
  }
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "escape.txt"));
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "abs.txt"));
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "up.txt"));
}

TEST_F(CliTest, ExtractDoesNotFollowALinkOutOfTheFolder) {
  std::filesystem::create_directories(dir_.path() / "inside");
  std::filesystem::create_directories(dir_.path() / "elsewhere");
  std::filesystem::create_directory_symlink(dir_.path() / "elsewhere", dir_.path() / "inside" / "m");
  const Outcome outcome = Run({"extract", CraftedPackage({"m/a.stl"}), dir_.text() + "inside"});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_NE(outcome.err.find("not a folder"), std::string::npos) << outcome.err;
  EXPECT_TRUE(dir_.Names("elsewhere").empty());
}

TEST_F(CliTest, PostFilesNamedLikePackagesAreDataInBundles) {
  const std::string machine = Machine();
  for (const std::string post : {"foo.OrvaneSimCfg", "foo.OrvaneSim", "foo.OrvaneSimBundle"}) {
    const std::string postFile = dir_.Write(post, "G0 X0").string();
    const std::string bundle = dir_.text() + "out/Mill.OrvaneSimBundle";
    ASSERT_EQ(Run({"bundle", machine, bundle, "--post", postFile}).status, 0) << post;

    const Outcome verified = Run({"verify", bundle});
    EXPECT_EQ(verified.status, 0) << post << ": " << verified.err;
    EXPECT_NE(verified.out.find("[Mill.OrvaneSimCfg]: OK"), std::string::npos) << verified.out;
    EXPECT_EQ(verified.out.find("[" + post + "]"), std::string::npos) << verified.out;

    const Outcome listed = Run({"list", bundle});
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_NE(listed.out.find("           5  " + post + "\n"), std::string::npos) << listed.out;
    EXPECT_EQ(listed.out.find("not a readable package"), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("config.json"), std::string::npos) << listed.out;
  }
}

TEST_F(CliTest, OnlyTheOuterBundlesPackagesAreOpened) {
  // Every level holds a pair named like a bundle's packages, nested 100 deep.
  const Bytes configuration = SignedPackage(PackFiles({{"config.json", {'{', '}'}}}));
  Bytes inner = configuration;
  for (int level = 0; level < 100; ++level) {
    inner = SignedPackage(PackFiles({{"a.OrvaneSim", inner}, {"a.OrvaneSimCfg", configuration}}));
  }
  dir_.Write("deep.OrvaneSimBundle", Text(inner));
  const std::string deep = dir_.text() + "deep.OrvaneSimBundle";

  const Outcome listed = Run({"list", deep});
  EXPECT_EQ(listed.status, 0) << listed.err;
  EXPECT_EQ(CountLines(listed.out), 6) << "the bundle and its two packages:\n" << listed.out;
  const Outcome verified = Run({"verify", deep});
  EXPECT_EQ(verified.status, 0) << verified.err;
  EXPECT_EQ(CountLines(verified.out), 3) << verified.out;
}

TEST_F(CliTest, GzipHeadersWeDoNotWriteFailVerification) {
  Bytes payload = PackFiles({{"config.json", {'{', '}'}}});
  payload[4] = 0x5A;  // a modification time
  dir_.Write("stamped.OrvaneSim", Text(SignedPackage(payload)));
  const Outcome stamped = Run({"verify", dir_.text() + "stamped.OrvaneSim"});
  EXPECT_EQ(stamped.status, 1);
  EXPECT_NE(stamped.err.find("unexpected-gzip-header"), std::string::npos) << stamped.err;
  EXPECT_NE(stamped.err.find("modification time"), std::string::npos) << stamped.err;
}

TEST_F(CliTest, ListSaysWhenAFileIsNoPackageAndCountsInTheSingular) {
  const std::string machine = Machine();
  const Outcome notAPackage = Run({"list", machine});
  EXPECT_EQ(notAPackage.status, 1);
  EXPECT_NE(notAPackage.err.find(machine + ": not a package"), std::string::npos)
      << notAPackage.err;

  const std::string one = CraftedPackage({"config.json"});
  const Outcome listed = Run({"list", one});
  EXPECT_NE(listed.out.find(": 1 record\n"), std::string::npos) << listed.out;
  const Outcome extracted = Run({"extract", one, dir_.text() + "one"});
  EXPECT_NE(extracted.out.find("Extracted 1 record into"), std::string::npos) << extracted.out;
}

TEST_F(CliTest, ExtractRefusesTwoNamesForOneFileAndLeavesNoFolder) {
  for (const auto& names : {std::vector<std::string>{"./x", "x"},
                            {"d//f", "d/f"},
                            {"d/./f", "d/f"},
                            {"a", "a/b"},
                            {"./a/b", "a"},
                            {"../up", "ok"},
                            {"ok", "../up"}}) {
    const std::string package = CraftedPackage(names);
    const Outcome outcome = Run({"extract", package, dir_.text() + "new/deeper"});
    EXPECT_EQ(outcome.status, 1) << names[0];
    EXPECT_NE(outcome.err.find("refused"), std::string::npos) << outcome.err;
    EXPECT_FALSE(std::filesystem::exists(dir_.path() / "new")) << names[0];
  }
  const Outcome same = Run({"extract", CraftedPackage({"./x", "x"}), dir_.text() + "new"});
  EXPECT_NE(same.err.find("names the same file as record \"./x\""), std::string::npos) << same.err;
}

TEST_F(CliTest, ExtractThatFailsHalfwayRemovesTheFoldersItMade) {
  std::filesystem::create_directories(dir_.path() / "kept");
  dir_.Write("kept/mine.txt", "mine");
  const std::string tooLong(300, 'n');  // no file system takes a name this long
  const std::string package = CraftedPackage({"a/b/one.txt", "c/" + tooLong + "/two.txt"});
  for (const std::string folder : {"new/deeper", "kept"}) {
    const Outcome outcome = Run({"extract", package, dir_.text() + folder});
    EXPECT_EQ(outcome.status, 1) << outcome.out;
    EXPECT_FALSE(std::filesystem::exists(dir_.path() / "new")) << outcome.err;
  }
  EXPECT_EQ(dir_.Names("kept"), std::vector<std::string>{"mine.txt"});
}

// Extract writes the records as they are inflated; damage found only at the end of the payload
// (the gzip trailer's checksum), after every record was written, still leaves no file and no
// folder behind.
TEST_F(CliTest, ExtractOfAPackageDamagedAtItsEndWritesNothing) {
  FileMap files = {{"a.txt", Bytes(3 << 20, 'a')}, {"b.txt", {'b'}}};
  const std::string package = WritePackage("damaged.OrvaneSim", files);
  Bytes bytes = ReadBytes(package);
  bytes[bytes.size() - 8] ^= 0x01;  // the CRC-32 of the content
  dir_.Write("damaged.OrvaneSim", Text(bytes));
  const Outcome outcome = Run({"extract", package, dir_.text() + "new/out"});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_NE(outcome.err.find("corrupt-compressed-data"), std::string::npos) << outcome.err;
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "new"));
  EXPECT_EQ(Run({"list", package}).status, 1);
}

TEST_F(CliTest, NamesThatExtractWouldRefuseAreWarnedAboutAndPrintedEscaped) {
  const std::string package =
      CraftedPackage({"./x", "x", "a\\b", "evil\x1B[2J.stl", "line\nbreak", "A.txt", "a.txt",
                      "no\xFFutf8"});
  const Outcome verified = Run({"verify", package});
  EXPECT_EQ(verified.status, 0) << verified.err;
  EXPECT_NE(verified.err.find("warning: " + package +
                              ": extract would refuse record \"x\": it "
                              "names the same file as record \"./x\""),
            std::string::npos)
      << verified.err;
  EXPECT_NE(verified.err.find("record \"a\\\\b\": the name contains a backslash"),
            std::string::npos)
      << verified.err;
  // Names that are one file, or none, on Windows are warned about on every system.
  EXPECT_NE(verified.err.find(": extract on Windows would refuse record \"a.txt\": it names the "
                              "same file as record \"A.txt\""),
            std::string::npos)
      << verified.err;
  EXPECT_NE(verified.err.find("record \"no\\xFFutf8\": the name is not UTF-8"), std::string::npos)
      << verified.err;
  EXPECT_EQ(CountLines(verified.err), 4) << verified.err;

  const Outcome listed = Run({"list", package});
  EXPECT_NE(listed.out.find("  evil\\x1B[2J.stl\n"), std::string::npos) << listed.out;
  EXPECT_NE(listed.out.find("  line\\x0Abreak\n"), std::string::npos) << listed.out;
  EXPECT_EQ(listed.out.find('\x1B'), std::string::npos);

  const Outcome refused = Run({"extract", CraftedPackage({"\x1B[2J/../../x"}), dir_.text() + "e"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("record \"\\x1B[2J/../../x\" refused"), std::string::npos)
      << refused.err;
  EXPECT_EQ(refused.err.find('\x1B'), std::string::npos);
}

TEST_F(CliTest, BundleHelpTellsWhereTheBundleGoes) {
  const Outcome help = Run({"bundle", "--help"});
  EXPECT_NE(help.out.find("<folder of output>/<machine>.OrvaneSimBundle"), std::string::npos)
      << help.out;
  EXPECT_NE(help.out.find("out/anything.zip and out/sub give out/Mill.OrvaneSimBundle"),
            std::string::npos)
      << help.out;
  const std::string machine = Machine();
  for (const char* output : {"out/anything.zip", "out/sub", "out/Mill.orvanesimbundle"}) {
    ASSERT_EQ(Run({"bundle", machine, dir_.text() + output}).status, 0) << output;
    EXPECT_EQ(dir_.Names("out"), std::vector<std::string>{"Mill.OrvaneSimBundle"}) << output;
  }
  ASSERT_EQ(Run({"bundle", machine, dir_.text() + "out/sub/"}).status, 0);
  EXPECT_EQ(dir_.Names("out/sub"), std::vector<std::string>{"Mill.OrvaneSimBundle"});
}

TEST_F(CliTest, EmptyOutputsAndUnknownOrientationsAreUsageErrors) {
  const std::string machine = Machine();
  const std::string inDir = "cd " + Quote(dir_.text()) + " &&";
  EXPECT_EQ(Run({"bundle", machine, ""}, inDir).status, 2);
  EXPECT_EQ(Run({"install", machine, ""}, inDir).status, 2);
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "Mill.OrvaneSimBundle"));
  for (const char* command : {"bundle", "install"}) {
    const Outcome outcome =
        Run({command, machine, dir_.text() + "out/x.OrvaneSimBundle", "--orientation", "vertical"});
    EXPECT_EQ(outcome.status, 2) << command;
    EXPECT_NE(outcome.err.find("\"vertical\": use \"Vertical\", \"Horizontal\", \"Lathe\" or "
                               "\"Don't change\""),
              std::string::npos)
        << outcome.err;
  }
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "out"));
  EXPECT_EQ(
      Run({"bundle", machine, dir_.text() + "b.OrvaneSimBundle", "--orientation", "Lathe"}).status,
      0);
}

// Each form of argument users and scripts write, with the exit status it gives: 0 done, 1 failed,
// 2 wrong arguments (naming the argument).
TEST_F(CliTest, ArgumentFormsAndExitStatuses) {
  const std::string one = CraftedPackage({"config.json"});
  const std::string two = WritePackage("-two.OrvaneSim", {{"a", {'a'}}, {"b", {'b'}}});
  const std::string gone = dir_.text() + "gone.OrvaneSim";
  const std::string pem = RIGWRIGHT_SOURCE_DIR "/data/keys/rigwright-dev-public.pem";
  const std::string leavesOut = WriteMachine(R"({"Gone":{"Path":"gone.stl"}})");
  const std::string bundle = dir_.text() + "out/b.OrvaneSimBundle";
  const std::string version = std::string("rigwright ") + kProductVersion + "\n";
  struct Form {
    std::vector<std::string> args;
    int status;
    std::string out;  // found in stdout
    std::string err;  // found in stderr; empty: stderr is empty
  };
  const Form forms[] = {
      {{"--version"}, 0, version, ""},
      {{"verify", "--version"}, 0, version, ""},
      {{"-h"}, 0, "usage: rigwright <command>", ""},
      {{}, 2, "", "no command given"},
      {{"frobnicate"}, 2, "", "unknown command \"frobnicate\""},
      {{"bundle", "-h"}, 0, "usage: rigwright bundle", ""},
      {{"install", "--help"}, 0, "usage: rigwright install", ""},
      {{"list", "--help"}, 0, "usage: rigwright list", ""},
      {{"verify", "-h"}, 0, "usage: rigwright verify", ""},
      {{"extract", "--help"}, 0, "usage: rigwright extract", ""},
      {{"list", "--bogus", one}, 2, "", "list: unknown option '--bogus' (see rigwright list --help)"},
      {{"extract", "-x", one, "x"}, 2, "", "unknown option '-x'"},
      {{"verify", one, "--public-key"}, 2, "", "option '--public-key' requires a value"},
      {{"bundle", "only-one"}, 2, "", "needs <machine.mcfg> <output>"},
      {{"verify", one, "--public-key", pem}, 0, one + ": OK", ""},
      {{"verify", "--public-key=" + pem, one}, 0, one + ": OK", ""},
      {{"list", "--", "-two.OrvaneSim"}, 0, "-two.OrvaneSim: 2 records", ""},
      {{"list", "-two.OrvaneSim"}, 2, "", "unknown option"},
      {{"list", one, two}, 0, two + ": 2 records", ""},
      {{"verify", one, gone, two}, 1, two + ": OK", gone + ": cannot be opened"},
      {{"list", gone, one}, 1, one + ": 1 record", gone + ": cannot be opened"},
      {{"list", "--log=" + dir_.text() + "log.txt", one}, 0, one + ": 1 record", ""},
      {{"bundle", leavesOut, bundle}, 0, "Wrote", "warning: " + leavesOut},
      {{"bundle", "-q", leavesOut, bundle}, 0, "Wrote", ""},
      {{"bundle", leavesOut, bundle, "--orientation=Lathe", "--quiet"}, 0, "Wrote", ""},
  };
  for (const Form& form : forms) {
    std::string line;
    for (const std::string& arg : form.args) line += arg + " ";
    SCOPED_TRACE(line);
    const Outcome outcome = Run(form.args, "cd " + Quote(dir_.text()) + " &&");
    EXPECT_EQ(outcome.status, form.status) << outcome.err;
    EXPECT_NE(outcome.out.find(form.out), std::string::npos) << outcome.out;
    if (form.err.empty()) {
      EXPECT_EQ(outcome.err, "");
    } else {
      EXPECT_NE(outcome.err.find(form.err), std::string::npos) << outcome.err;
    }
  }
}

// The tool started on a new pseudo-terminal as its stderr (stdout goes nowhere): what the
// terminal showed, read until the tool has ended and closed it.
std::string OnTerminal(const std::vector<std::string>& args) {
  int terminal = -1;
  const pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
  if (child == 0) {
    ::dup2(::open("/dev/null", O_WRONLY), 1);
    std::vector<char*> argv = {const_cast<char*>(RIGWRIGHT_CLI)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(RIGWRIGHT_CLI, argv.data());
    ::_exit(127);
  }
  std::string seen;
  char buffer[4096];
  for (ssize_t n; (n = ::read(terminal, buffer, sizeof(buffer))) > 0;) seen.append(buffer, n);
  ::close(terminal);
  ExitStatus(child);
  return seen;
}

// A long export shows one line, rewritten in place, on a terminal; never in a file or with -q.
TEST_F(CliTest, ProgressOnlyOnATerminal) {
  const std::string machine = Machine();
  const std::string bundle = dir_.text() + "Mill.OrvaneSimBundle";
  const std::string shown = OnTerminal({"bundle", machine, bundle});
  EXPECT_NE(shown.find("\rrigwright: reading base.stl"), std::string::npos) << shown;
  EXPECT_NE(shown.find("\rrigwright: packing Mill.OrvaneSim"), std::string::npos) << shown;
  EXPECT_EQ(shown.find('\n'), std::string::npos) << "one line, cleared at the end: " << shown;
  EXPECT_EQ(OnTerminal({"bundle", "-q", machine, bundle}), "");
  EXPECT_EQ(Run({"bundle", machine, bundle}).err, "");
}

// A package cut short says so with its sizes; extract warns once of a signature that does not
// verify unless told not to check; bundle says where the bundle went and what it replaced.
TEST_F(CliTest, MessagesSayWhatHappened) {
  const std::string package = CraftedPackage({"config.json"});
  Bytes bytes = ReadBytes(package);
  const std::string whole = std::to_string(bytes.size());
  dir_.Write("cut.OrvaneSim", Text(Bytes(bytes.begin(), bytes.end() - 5)));
  const std::string cut = dir_.text() + "cut.OrvaneSim";
  const std::string truncated =
      "rigwright: " + cut + ": truncated (" + std::to_string(bytes.size() - 5) + " of " + whole +
      " bytes)\n";
  EXPECT_EQ(Run({"list", cut}).err, truncated);
  EXPECT_EQ(Run({"verify", cut}).err, truncated);
  EXPECT_EQ(Run({"extract", cut, dir_.text() + "x"}).err, truncated);

  bytes[20] ^= 1;  // in the signature
  dir_.Write("forged.OrvaneSim", Text(bytes));
  const std::string forged = dir_.text() + "forged.OrvaneSim";
  const Outcome warned = Run({"extract", forged, dir_.text() + "warned"});
  EXPECT_EQ(warned.status, 0);
  EXPECT_EQ(warned.err.rfind("rigwright: warning: " + forged + ": the signature does not verify", 0),
            0u)
      << warned.err;
  EXPECT_EQ(CountLines(warned.err), 1) << warned.err;
  EXPECT_EQ(Run({"extract", forged, dir_.text() + "unchecked", "--no-verify"}).err, "");
  EXPECT_EQ(Run({"extract", package, dir_.text() + "signed"}).err, "");

  const std::string machine = Machine();
  const std::string named = dir_.text() + "out/Mill.OrvaneSimBundle";
  const std::string zip = dir_.text() + "out/anything.zip";
  const std::string renamed = "Wrote " + named + " (named after the machine: \"" + zip +
                              "\" does not end in \".OrvaneSimBundle\"";
  EXPECT_EQ(Run({"bundle", machine, zip}).out, renamed + ")\n");
  EXPECT_EQ(Run({"bundle", machine, zip}).out, renamed + "; replaced the earlier bundle)\n");
  EXPECT_EQ(Run({"bundle", machine, named}).out,
            "Wrote " + named + " (replaced the earlier bundle)\n");
}

// A package that cannot be read is refused at once with the system's reason; a FIFO, which would
// make opening wait for a writer, is no package either.
TEST_F(CliTest, PackagesThatCannotBeReadAreRefusedAtOnceSayingWhy) {
  const std::string fifo = dir_.text() + "fifo.OrvaneSim";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::filesystem::create_directories(dir_.path() / "folder.OrvaneSim");
  const std::string key = dir_.text() + "missing.pem";
  const std::string package = CraftedPackage({"x"});
  for (const auto& [file, reason] :
       std::vector<std::pair<std::string, std::string>>{
           {dir_.text() + "missing.OrvaneSim", "cannot be opened: No such file or directory"},
           {dir_.text() + "folder.OrvaneSim", "is a folder"},
           {fifo, "is not a regular file (a FIFO, device or socket), so it is not read"}}) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"list", file}, {"verify", file},
          {"extract", file, dir_.text() + "out"}, {"verify", package, "--public-key", file}}) {
      const Outcome outcome = Run(args, "timeout 20");
      EXPECT_EQ(outcome.status, 1) << args[0] << " " << file;
      EXPECT_EQ(outcome.err, "rigwright: " + file + ": " + reason + "\n");
      EXPECT_FALSE(std::filesystem::exists(dir_.path() / "out"));
    }
  }
}

// Ctrl-C, SIGTERM or SIGHUP while extract writes stops it at the next record and leaves neither
// staged files nor the folders it made.
TEST_F(CliTest, CancellingSignalsStopExtractAndLeaveNothing) {
  FileMap files;
  for (int i = 0; i < 20000; ++i) files["d/" + std::to_string(100000 + i)] = Bytes(512, 'x');
  const std::string package = WritePackage("many.OrvaneSim", files);
  const std::filesystem::path out = dir_.path() / "out";
  const std::string err = (dir_.path() / "stderr.txt").string();
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(::strsignal(signal));
    const pid_t child = Start({"extract", package, (out / "x").string()}, err);
    ASSERT_NE(child, -1);
    // Signalled once files are staged: the handler is in place by then.
    int status = 0;
    std::error_code ignored;
    pid_t ended = 0;
    while ((ended = ::waitpid(child, &status, WNOHANG)) == 0 &&
           (std::filesystem::is_empty(out / "x" / "d", ignored) || ignored)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (ended == 0) {
      ::kill(child, signal);
      ASSERT_EQ(::waitpid(child, &status, 0), child);
    }
    ASSERT_TRUE(WIFSIGNALED(status)) << "exited with " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), signal);
    EXPECT_EQ(Text(ReadBytes(err)),
              "rigwright: " + package + ": the extraction was cancelled; nothing was written\n");
    EXPECT_FALSE(std::filesystem::exists(out));
  }
}

}  // namespace
}  // namespace rigwright
