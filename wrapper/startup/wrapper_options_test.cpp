#include "wrapper/startup/wrapper_options.h"

#include <gtest/gtest.h>

namespace rigwright {
namespace {

WrapperOptions Defaults() {
  WrapperOptions defaults;
  defaults.machineFolder = "/home/u/.local/share/Kelmora/Rigwright/";
  return defaults;
}

TEST(ParseWrapperOptionsTest, WithoutOptionsEveryDefaultStands) {
  const WrapperOptions options = ParseWrapperOptions("", Defaults());
  EXPECT_EQ(options.language, "en-US");
  EXPECT_EQ(options.machineFolder, "/home/u/.local/share/Kelmora/Rigwright/");
  EXPECT_EQ(options.defaultUnit, 0);
  EXPECT_EQ(options.pipeName, R"(\\.\pipe\OrvaneRigwrightPipe)");
}

TEST(ParseWrapperOptionsTest, TheAddinsCommandLineGivesEveryValue) {
  const WrapperOptions options =
      ParseWrapperOptions(R"(--language="de-DE" --machineDirectory="/home/u/M y/" --defaultUnit=1 )"
                          R"(--pipeName="\\.\pipe\0A1B2C3D0E0F1A2B3C4D5E6F708192A3")",
                          Defaults());
  EXPECT_EQ(options.language, "de-DE");
  EXPECT_EQ(options.machineFolder, "/home/u/M y/");
  EXPECT_EQ(options.defaultUnit, 1);
  EXPECT_EQ(options.pipeName, R"(\\.\pipe\0A1B2C3D0E0F1A2B3C4D5E6F708192A3)");
}

TEST(ParseWrapperOptionsTest, OptionsStandInAnyOrderAndOnlyTheFirstOccurrenceCounts) {
  const WrapperOptions options = ParseWrapperOptions(
      R"(--defaultUnit=1 --pipeName="\\.\pipe\x" --language="fr" --language="it" --defaultUnit=0)",
      Defaults());
  EXPECT_EQ(options.defaultUnit, 1) << "the blank after the digit ends the number";
  EXPECT_EQ(options.pipeName, R"(\\.\pipe\x)");
  EXPECT_EQ(options.language, "fr");
}

TEST(ParseWrapperOptionsTest, QuotedValuesKeepBackslashesAndMayBeEmpty) {
  const WrapperOptions options =
      ParseWrapperOptions(R"(--machineDirectory="C:\M\" --language="")", Defaults());
  EXPECT_EQ(options.machineFolder, R"(C:\M\)");
  EXPECT_EQ(options.language, "");
}

TEST(ParseWrapperOptionsTest, AValueWithoutClosingQuoteRunsToTheEnd) {
  EXPECT_EQ(ParseWrapperOptions(R"(--language="en-GB)", Defaults()).language, "en-GB");
}

TEST(ParseWrapperOptionsTest, AnUnquotedValueTakesTheNextQuotedTextOrKeepsTheDefault) {
  EXPECT_EQ(ParseWrapperOptions(R"(--language=de --pipeName="\\.\pipe\p")", Defaults()).language,
            R"(\\.\pipe\p)")
      << "the quote search runs on from the option name";
  EXPECT_EQ(ParseWrapperOptions(R"(--pipeName="\\.\pipe\p" --language=de)", Defaults()).language,
            "en-US")
      << "no quote after the name: the default stands";
}

TEST(ParseWrapperOptionsTest, NamesAreExactAndCaseSensitive) {
  const WrapperOptions options =
      ParseWrapperOptions(R"(--Language="de" --defaultunit=1 -pipeName="\\.\pipe\x")", Defaults());
  EXPECT_EQ(options.language, "en-US");
  EXPECT_EQ(options.defaultUnit, 0);
  EXPECT_EQ(options.pipeName, kDefaultPipeName) << "\"-pipeName=\" is not \"--pipeName=\"";
}

TEST(ParseWrapperOptionsTest, TheUnitIsReadLikeAStreamReadsAnInt) {
  auto unit = [](std::string_view commandLine) {
    WrapperOptions defaults;
    defaults.defaultUnit = 5;
    return ParseWrapperOptions(commandLine, defaults).defaultUnit;
  };
  EXPECT_EQ(unit(R"(--defaultUnit="1")"), 0) << "the quote is not a digit";
  EXPECT_EQ(unit("--defaultUnit=  -3x"), -3);
  EXPECT_EQ(unit("--defaultUnit=+2"), 2);
  EXPECT_EQ(unit("--defaultUnit=+-2"), 0);
  EXPECT_EQ(unit("--defaultUnit="), 0);
  EXPECT_EQ(unit("--defaultUnit=99999999999"), 0) << "out of range reads as nothing";
  EXPECT_EQ(unit("--language=\"x\""), 5) << "absent: the default stands";
}

TEST(JoinCommandLineTest, ArgumentsAfterTheProgramAreJoinedWithBlanks) {
  const char* argv[] = {"/opt/x/RigwrightWrapper", "--language=\"en-US\"",
                        "--machineDirectory=\"/home/u/M y/\"", "--defaultUnit=0", nullptr};
  EXPECT_EQ(JoinCommandLine(4, argv),
            R"(--language="en-US" --machineDirectory="/home/u/M y/" --defaultUnit=0)");
  EXPECT_EQ(JoinCommandLine(1, argv), "");
}

TEST(JoinCommandLineTest, AQuotedValueWithBlanksSurvivesTheRoundTrip) {
  const char* argv[] = {"w", "--machineDirectory=\"/a b/  c/\"", "--defaultUnit=1"};
  const WrapperOptions options = ParseWrapperOptions(JoinCommandLine(3, argv), Defaults());
  EXPECT_EQ(options.machineFolder, "/a b/  c/");
  EXPECT_EQ(options.defaultUnit, 1);
}

TEST(CommandLineAfterProgramNameTest, AQuotedProgramNameRunsToItsClosingQuote) {
  EXPECT_EQ(CommandLineAfterProgramName(
                R"("C:\Program Files\R w\RigwrightWrapper.exe"  --machineDirectory="C:\M y\")"),
            R"(--machineDirectory="C:\M y\")");
  EXPECT_EQ(CommandLineAfterProgramName(R"("C:\a b\w.exe"--defaultUnit=1)"), "--defaultUnit=1")
      << "the text right after the closing quote already counts";
  EXPECT_EQ(CommandLineAfterProgramName(R"("C:\unclosed --language="x")"), R"(x")");
}

TEST(CommandLineAfterProgramNameTest, AnUnquotedProgramNameEndsAtTheFirstBlank) {
  EXPECT_EQ(CommandLineAfterProgramName("C:\\R\\RigwrightWrapper.exe\t --defaultUnit=1 "),
            "--defaultUnit=1 ")
      << "only the blanks before the options go";
  EXPECT_EQ(CommandLineAfterProgramName("RigwrightWrapper.exe"), "");
  EXPECT_EQ(CommandLineAfterProgramName(""), "");
}

}  // namespace
}  // namespace rigwright
