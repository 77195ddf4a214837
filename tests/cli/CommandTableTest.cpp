#include <gtest/gtest.h>

#include <set>
#include <string>

#include "cli/CommandTable.h"
#include "cli/ParsedArguments.h"
#include "common/Error.h"

namespace vellumark::cli {
namespace {

const CommandSpec& Command(std::string_view name) {
    const CommandSpec* command = FindCommand(name);
    EXPECT_NE(command, nullptr) << name;
    return *command;
}

std::string UsageError(std::string_view command, const Arguments& args) {
    try {
        const ParsedArguments parsed = ParseArguments(Command(command), args);
        CheckOperands(Command(command), parsed);
    } catch (const Error& e) {
        EXPECT_EQ(e.Code(), ErrorCode::Usage);
        return e.what();
    }
    return {};
}

TEST(ParsedArgumentsTest, OptionsGoAnywhereInEitherSpelling) {
    const ParsedArguments parsed =
        ParseArguments(Command("convert"), {"--title", "First", "scan.tif", "--quiet",
                                            "--author=A=B", "--title=Second", "--", "--odd.tif"});
    EXPECT_EQ(parsed.Operands(), (std::vector<std::string>{"scan.tif", "--odd.tif"}));
    EXPECT_EQ(parsed.Value(Option::Title), "Second");  // the last one counts
    EXPECT_EQ(parsed.Value(Option::Author), "A=B");
    EXPECT_TRUE(parsed.Has(Option::Quiet));
    EXPECT_FALSE(parsed.Has(Option::Overwrite));
    EXPECT_EQ(parsed.Value(Option::Cover), std::nullopt);
    EXPECT_EQ(parsed.Count(Option::Jobs, 7), 7u);
    // "-" alone is an operand, and "-h" is --help.
    const ParsedArguments dash = ParseArguments(Command("info"), {"-", "-h"});
    EXPECT_EQ(dash.Operands(), std::vector<std::string>{"-"});
    EXPECT_TRUE(dash.Has(Option::Help));
}

TEST(ParsedArgumentsTest, MistakesAreUsageErrorsNamingTheOption) {
    EXPECT_EQ(UsageError("convert", {"a.tif", "--fast"}),
              "unknown option \"--fast\" (see vellumark convert --help)");
    // An option of another command is unknown here.
    EXPECT_EQ(UsageError("info", {"a.tif", "--jobs", "2"}),
              "unknown option \"--jobs\" (see vellumark info --help)");
    EXPECT_EQ(UsageError("convert", {"a.tif", "--title"}), "--title needs a value");
    EXPECT_EQ(UsageError("convert", {"a.tif", "--quiet=yes"}), "--quiet takes no value");
    EXPECT_EQ(UsageError("convert", {}),
              "usage: vellumark convert INPUT... (see vellumark convert --help)");
    EXPECT_EQ(UsageError("pack", {"a", "b", "c"}),
              "usage: vellumark pack FOLDER ARCHIVE (see vellumark pack --help)");
    for (const std::string bad : {"0", "-1", "two", "3x", "", "99999999999"}) {
        const ParsedArguments parsed = ParseArguments(Command("search"), {"--jobs", bad});
        try {
            parsed.Count(Option::Jobs, 0);
            ADD_FAILURE() << bad;
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()),
                      "--jobs needs a whole number of 1 or more, not \"" + bad + "\"");
        }
    }
    EXPECT_EQ(ParseArguments(Command("search"), {"--jobs=12"}).Count(Option::Jobs, 0), 12u);
}

TEST(CommandTableTest, EachHelpListsItsOwnOptionsAndNoOthers) {
    std::set<std::string> names;
    for (const CommandSpec& command : Commands()) {
        EXPECT_TRUE(names.insert(std::string(command.name)).second) << command.name;
        const std::string help = CommandHelp(command);
        EXPECT_EQ(help.rfind("Usage: vellumark " + std::string(command.name) + " ", 0), 0u);
        for (const std::string& example : ExampleLines(command))
            EXPECT_NE(help.find("  " + example + "\n"), std::string::npos) << example;
        // The whole name: "--ocr" is not listed where only "--ocr-lang" is.
        const auto lists = [&](const std::string& column) {
            for (std::size_t at = help.find(column); at != std::string::npos;
                 at = help.find(column, at + 1)) {
                const char next = help[at + column.size()];
                if (next == ' ' || next == '\n')
                    return true;
            }
            return false;
        };
        for (const OptionSpec& option : Options()) {
            const bool belongs = (option.commands & command.bit) != 0;
            EXPECT_EQ(
                lists("  " + std::string(option.name)) || lists(", " + std::string(option.name)),
                belongs)
                << command.name << " " << option.name;
        }
        for (const ExitCodeSpec& exit : ExitCodes())
            EXPECT_NE(help.find(std::string(exit.meaning)), std::string::npos);
        EXPECT_NE(GeneralHelp().find(CommandSynopsis(command)), std::string::npos);
    }
}

TEST(CommandTableTest, TheManualPageNamesEveryCommandOptionAndExitCode) {
    const std::string man = ManualPage();
    EXPECT_EQ(man.rfind(".TH VELLUMARK 1 ", 0), 0u);
    const auto roff = [](std::string_view text) {
        std::string out;
        for (char c : text)
            out += c == '-' ? std::string("\\-") : std::string(1, c);
        return out;
    };
    for (const CommandSpec& command : Commands()) {
        EXPECT_NE(man.find(".SS \"" + std::string(command.name) + " "), std::string::npos);
        for (const std::string& example : ExampleLines(command))
            EXPECT_NE(man.find(roff(example) + "\n"), std::string::npos) << example;
    }
    for (const OptionSpec& option : Options())
        EXPECT_NE(man.find(roff(option.name)), std::string::npos) << option.name;
    for (const ExitCodeSpec& exit : ExitCodes())
        EXPECT_NE(man.find(".B " + std::to_string(exit.code) + "\n"), std::string::npos);
}

}  // namespace
}  // namespace vellumark::cli
