#include "results/investigation_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "core/text.h"
#include "results/atomic_file.h"
#include "results/ini_file.h"
#include "support/temp_dir.h"

namespace vx {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

ResultsTable Load(const std::string& text) {
    TempDir dir;
    WriteFile(dir.File("f.bki"), text);
    ResultsTable t;
    LoadInvestigationFile(dir.File("f.bki"), t);
    return t;
}

TEST(LoadInvestigationFile, RowsAreReadItem0ToItemN) {
    const auto t = Load(
        "[item2]\nkeyterm=c\n[item0]\nkeyterm=a\ndemand=1\ncompetition=2\ncost=3\nrank=4\n"
        "profitability=5%\nestimation=6\ncheck=0\n[item1]\nkeyterm=b\n");
    ASSERT_EQ(t.Count(), 3);
    EXPECT_EQ(t.At(0).KeyTerm(), "a");
    EXPECT_EQ(t.At(0).Columns(), (std::vector<std::string>{"1", "2", "3", "4", "5%", "6"}));
    EXPECT_FALSE(t.At(0).checked);
    EXPECT_EQ(t.At(1).KeyTerm(), "b");
    EXPECT_EQ(t.At(1).ColumnCount(), 6);  // missing keys read as empty texts
    EXPECT_TRUE(t.At(1).checked);
    EXPECT_EQ(t.At(2).KeyTerm(), "c");
}

TEST(LoadInvestigationFile, SectionNamesCountOnly) {
    auto t = Load("[alpha]\nkeyterm=x\n[beta]\nkeyterm=y\n");
    ASSERT_EQ(t.Count(), 2);
    EXPECT_EQ(t.At(0).KeyTerm(), "");
    EXPECT_TRUE(t.At(0).checked && t.At(1).checked);

    t = Load("[item1]\nkeyterm=one\n[item2]\nkeyterm=two\n");
    ASSERT_EQ(t.Count(), 2);
    EXPECT_EQ(t.At(0).KeyTerm(), "");
    EXPECT_EQ(t.At(1).KeyTerm(), "one");
}

TEST(LoadInvestigationFile, NamesMatchWithoutCase) {
    const auto t = Load("[ITEM0]\nKEYTERM=Found\nCheck=0\n");
    ASSERT_EQ(t.Count(), 1);
    EXPECT_EQ(t.At(0).KeyTerm(), "Found");
    EXPECT_FALSE(t.At(0).checked);
}

TEST(LoadInvestigationFile, CheckValues) {
    struct Case {
        const char* value;
        bool checked;
    } cases[] = {{"1", true},    {"-1", true},  {"0", false},   {"0x0", false},  {"0x10", true},
                 {"0X0", false}, {"$0", false}, {"true", true}, {"false", true}, {"yes", true},
                 {"", true},     {" 0", false}, {"00", false}};
    for (const auto& c : cases) {
        const auto t = Load(std::string("[item0]\ncheck=") + c.value + "\n");
        ASSERT_EQ(t.Count(), 1);
        EXPECT_EQ(t.At(0).checked, c.checked) << '"' << c.value << '"';
    }
}

TEST(LoadInvestigationFile, EveryRowAndEveryValueIsReadWhole) {
    std::string text = "\xEF\xBB\xBF";  // a byte-order mark is no part of the first line
    for (int i = 0; i < 5000; ++i)
        text += "[item" + std::to_string(i) + "]\nkeyterm=k" + std::to_string(i) + "\n";
    text += "[item0]\ndemand=merged\n[item7]\nkeyterm=second wins nothing\n";
    text += "[item4999]\nestimation=" + std::string(5000, 'e') + "\n";
    const auto t = Load(text);
    ASSERT_EQ(t.Count(), 5000);
    EXPECT_EQ(t.At(0).KeyTerm(), "k0");
    EXPECT_EQ(t.At(0).Column(0), "merged");
    EXPECT_EQ(t.At(7).KeyTerm(), "k7");
    EXPECT_EQ(t.At(4999).KeyTerm(), "k4999");
    EXPECT_EQ(t.At(4999).Column(5).size(), 5000u);
    const auto bom = Load("\xEF\xBB\xBF[item0]\nkeyterm=one\n[item1]\nkeyterm=two\n[item2]\n");
    ASSERT_EQ(bom.Count(), 3);
    EXPECT_EQ(bom.At(0).KeyTerm(), "one");
}

// A file that cannot be read as an investigation leaves the table as it was
// and names its cause.
TEST(LoadInvestigationFile, WhatCannotBeOpenedLeavesTheTable) {
    TempDir dir;
    const std::string fifo = dir.File("pipe.bki"), sparse = dir.File("huge.bki");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    WriteFile(sparse, "[item0]\nkeyterm=x\n");
    ASSERT_EQ(::truncate(sparse.c_str(), 300LL * 1024 * 1024), 0);  // past the cap, no disk used
    WriteFile(dir.File("nul.bki"), std::string("[item0]\nkeyterm=a\0b\n", 20));
    WriteFile(dir.File("prose.bki"), "just some words\n");
    std::string tiny;
    for (int i = 0; i < 150000; ++i) tiny += "[" + std::to_string(i) + "]\n";
    WriteFile(dir.File("tiny.bki"), tiny);
    struct Case {
        std::string path;
        LoadProblem want;
        std::string text;
    } cases[] = {{fifo, LoadProblem::NotRegularFile, "not a regular file"},
                 {"/dev/zero", LoadProblem::NotRegularFile, "not a regular file"},
                 {dir.path(), LoadProblem::NotRegularFile, "Is a directory"},
                 {sparse, LoadProblem::TooLarge, "larger than 256 MiB"},
                 {dir.File("missing.bki"), LoadProblem::Unreadable, "No such file or directory"},
                 {dir.File("nul.bki"), LoadProblem::NotText, "not a text file"},
                 {dir.File("prose.bki"), LoadProblem::NoSections, "no investigation"},
                 {dir.File("tiny.bki"), LoadProblem::TooManyRows, "150000 sections"}};
    for (const auto& c : cases) {
        ResultsTable t;
        t.SetKeyTerm(t.Append(), "kept");
        const LoadOutcome got = LoadInvestigationFile(c.path, t);
        EXPECT_EQ(got.problem, c.want) << c.path;
        EXPECT_NE(LoadFailureText(got).find(c.text), std::string::npos)
            << c.path << ": " << LoadFailureText(got);
        ASSERT_EQ(t.Count(), 1) << c.path;
        EXPECT_EQ(t.At(0).KeyTerm(), "kept") << c.path;
    }
    // An empty file is an empty investigation, not a failure.
    WriteFile(dir.File("empty.bki"), "");
    ResultsTable t;
    t.Append();
    EXPECT_TRUE(LoadInvestigationFile(dir.File("empty.bki"), t));
    EXPECT_EQ(t.Count(), 0);
}

// Every line ending and encoding other editors write reads the same rows.
TEST(LoadInvestigationFile, LineEndingsAndEncodings) {
    const std::string lf = "[item0]\nkeyterm=caf\xC3\xA9\ncheck=0\n[item1]\nkeyterm=two\n";
    auto utf16 = [&](bool big) {
        std::u16string wide = u"[item0]\r\nkeyterm=caf\u00e9\r\ncheck=0\r\n[item1]\r\nkeyterm=two";
        std::string out = big ? "\xFE\xFF" : "\xFF\xFE";
        for (const char16_t c : wide) {
            const char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
            out += big ? std::string{hi, lo} : std::string{lo, hi};
        }
        return out;
    };
    auto replaced = [&](const std::string& eol) {
        std::string out;
        for (const char c : lf) out += c == '\n' ? eol : std::string(1, c);
        return out;
    };
    const struct {
        const char* name;
        std::string text;
    } cases[] = {{"LF", lf},
                 {"CR LF", replaced("\r\n")},
                 {"CR", replaced("\r")},
                 {"lone CR in LF", "[item0]\nkeyterm=caf\xC3\xA9\rcheck=0\n[item1]\rkeyterm=two"},
                 {"UTF-8 mark", "\xEF\xBB\xBF" + replaced("\r\n")},
                 {"UTF-16 LE", utf16(false)},
                 {"UTF-16 BE", utf16(true)}};
    for (const auto& c : cases) {
        const auto t = Load(c.text);
        ASSERT_EQ(t.Count(), 2) << c.name;
        EXPECT_EQ(t.At(0).KeyTerm(), "caf\xC3\xA9") << c.name;
        EXPECT_FALSE(t.At(0).checked) << c.name;
        EXPECT_EQ(t.At(1).KeyTerm(), "two") << c.name;
    }
    EXPECT_EQ(Utf16ToUtf8(std::string("\x3D\xD8\x00\xDE\x00\xD8\x41", 7), false),
              "\xF0\x9F\x98\x80\xEF\xBF\xBD\xEF\xBF\xBD");  // pair, lone half, odd byte
}

TEST(SaveInvestigationFile, RoundTripKeepsAwkwardTexts) {
    const std::vector<std::string> texts = {"  leading and trailing  ",
                                            "\"quoted\"",
                                            "a=b",
                                            ";comment",
                                            "[section]",
                                            "tab\there",
                                            "\xE4\xF6\xFC bytes",
                                            "line\nbreak",
                                            "cr\r\nlf",
                                            "back\\slash\\n",
                                            "",
                                            "\"",
                                            "\\",
                                            "ends with quote\"",
                                            std::string("nul\0byte", 8),
                                            "\t",
                                            "="};
    ResultsTable t;
    for (size_t i = 0; i < texts.size(); ++i) {
        const RowId id = t.Append();
        t.SetKeyTerm(id, texts[i]);
        for (int c = 0; c < 6; ++c)
            t.AppendColumn(id, texts[(i + static_cast<size_t>(c) + 1) % texts.size()]);
        t.SetChecked(id, i % 2 == 0);
    }
    TempDir dir;
    ASSERT_TRUE(SaveInvestigationFile(dir.File("t.bki"), t));
    ResultsTable back;
    LoadInvestigationFile(dir.File("t.bki"), back);
    ASSERT_EQ(back.Count(), t.Count());
    for (int i = 0; i < t.Count(); ++i) {
        EXPECT_EQ(back.At(i).KeyTerm(), t.At(i).KeyTerm()) << i;
        EXPECT_EQ(back.At(i).Columns(), t.At(i).Columns()) << i;
        EXPECT_EQ(back.At(i).checked, t.At(i).checked) << i;
    }
}

// Top results ride in keys an older reader passes over: a row without them
// is written as before, and links a hand-edited file spoils are left out.
TEST(SaveInvestigationFile, TopResultsRoundTripInKeysOfTheirOwn) {
    ResultsTable t;
    const RowId a = t.Append(), b = t.Append();
    t.SetKeyTerm(a, "with top");
    t.SetTop(a, TopResultsOf({"https://www.Alpha.example/x", "/relative", "http://b.example/\"q\"",
                              "https://c.example/line\nbreak"}));
    t.SetKeyTerm(b, "without");
    t.SetChecked(b, true);
    TempDir dir;
    ASSERT_TRUE(SaveInvestigationFile(dir.File("t.bki"), t));
    const std::string text = ReadFile(dir.File("t.bki"));
    EXPECT_NE(text.find("check=0\ntop1=\"https://www.Alpha.example/x\"\ntop3="), std::string::npos)
        << text;
    EXPECT_TRUE(text.ends_with("estimation=\"\"\ncheck=1\n\n")) << text;
    ResultsTable back;
    LoadInvestigationFile(dir.File("t.bki"), back);
    ASSERT_EQ(back.Count(), 2);
    EXPECT_EQ(back.At(0).Top(), t.At(0).Top());
    ASSERT_EQ(back.At(0).Top().size(), 3u);
    EXPECT_EQ(back.At(0).Top()[1].position, 3);
    EXPECT_EQ(back.At(0).Top()[0].host, "alpha.example");
    EXPECT_TRUE(back.At(1).Top().empty());

    const auto edited = Load(
        "[item0]\nkeyterm=k\ntop2=relative/x\ntop4=ftp://f.example/\ntop5=http://e.example/\n"
        "top11=http://eleven.example/\ntop0=http://zero.example/\n");
    ASSERT_EQ(edited.At(0).Top().size(), 1u);
    EXPECT_EQ(edited.At(0).Top()[0], (TopResult{5, "http://e.example/", "e.example"}));
}

TEST(SaveInvestigationFile, FailedSaveLeavesOldFileIntact) {
    TempDir dir;
    const std::string path = dir.File("keep.bki");
    WriteFile(path, "[item0]\nkeyterm=old\n");
    ResultsTable t;
    for (int i = 0; i < 3000; ++i) t.SetKeyTerm(t.Append(), std::string(100, 'x'));
    AtomicWriteHook hook([](AtomicWriteStep, size_t written) { return written < 64 * 1024; });
    EXPECT_FALSE(SaveInvestigationFile(path, t));
    EXPECT_EQ(ReadFile(path), "[item0]\nkeyterm=old\n");
    // No temporary file is left behind.
    int files = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 1);
    EXPECT_FALSE(SaveInvestigationFile(dir.File("no/such/dir.bki"), t));
}

// The process dies after the new text is on disk but before the rename.
TEST(SaveInvestigationFile, KillBeforeRenameLeavesOldFile) {
    TempDir dir;
    const std::string path = dir.File("keep.bki");
    WriteFile(path, "[item0]\nkeyterm=old\n");
    ResultsTable t;
    t.SetKeyTerm(t.Append(), "new");
    const pid_t child = ::fork();
    if (child == 0) {
        AtomicWriteHook hook([](AtomicWriteStep step, size_t) {
            if (step == AtomicWriteStep::Rename) ::kill(::getpid(), SIGKILL);
            return true;
        });
        SaveInvestigationFile(path, t);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(ReadFile(path), "[item0]\nkeyterm=old\n");
    ResultsTable back;
    LoadInvestigationFile(path, back);
    EXPECT_EQ(back.At(0).KeyTerm(), "old");
}

// A folder the user may not write to; as root, the check runs as "nobody".
TEST(SaveInvestigationFile, ReadOnlyFolderLeavesOldFile) {
    TempDir dir;
    const std::string path = dir.File("keep.bki");
    WriteFile(path, "[item0]\nkeyterm=old\n");
    ::chmod(dir.path().c_str(), 0555);
    ResultsTable t;
    t.SetKeyTerm(t.Append(), "new");
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
        ::_exit(SaveInvestigationFile(path, t) ? 1 : 0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ::chmod(dir.path().c_str(), 0755);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the save must report failure";
    EXPECT_EQ(ReadFile(path), "[item0]\nkeyterm=old\n");
}

TEST(LoadInvestigationFile, HundredMegabyteFileLoadsWithinTheRules) {
    TempDir dir;
    const std::string path = dir.File("big.bki");
    {
        std::ofstream out(path, std::ios::binary);
        const std::string value(4000, 'v');
        for (int i = 0; out.tellp() < 100LL * 1024 * 1024; ++i)
            out << "[item" << i << "]\nkeyterm=" << value << "\ndemand=" << i << "\n";
    }
    ResultsTable t;
    LoadInvestigationFile(path, t);
    EXPECT_GT(t.Count(), 25000);  // every row
    EXPECT_EQ(t.At(0).KeyTerm().size(), 4000u);
    EXPECT_EQ(t.At(25000).Column(0), "25000");
}

TEST(IniFile, BlanksQuotesAndComments) {
    const auto ini = IniFile::Parse(
        "; comment\r\n[ s ]\r\n  k1 =  v1  \r\nk2=\"  v2 \"\r\nk1=second\r\nnoequals\r\n"
        "k3=\"a\\qb\"\r\n[S]\r\nk4=merged\r\n");
    EXPECT_EQ(ini.SectionNames(), (std::vector<std::string>{"s"}));
    EXPECT_EQ(ini.Get("S", "K1"), "v1");
    EXPECT_EQ(ini.Get("s", "k2"), "  v2 ");
    EXPECT_EQ(ini.Get("s", "k3"), "a\\qb");  // unknown escape stays literal
    EXPECT_EQ(ini.Get("s", "k4"), "merged");
    EXPECT_EQ(ini.Get("s", "missing"), "");
    EXPECT_EQ(ini.Get("missing", "k1"), "");
}

}  // namespace
}  // namespace vx

namespace vx {
namespace {

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

TEST(SaveAtomically, RespectsLinksModesAndLongNames) {
    TempDir dir;
    const std::string real = dir.File("real.bki"), link = dir.File("link.bki");
    WriteFile(real, "old");
    ASSERT_EQ(::symlink("real.bki", link.c_str()), 0);
    EXPECT_TRUE(WriteFileAtomically(link, "new"));
    struct stat st {};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link stays a link";
    EXPECT_EQ(ReadFile(real), "new");

    const std::string dangling = dir.File("dangling.bki");
    ASSERT_EQ(::symlink("made.bki", dangling.c_str()), 0);
    EXPECT_TRUE(WriteFileAtomically(dangling, "made"));
    EXPECT_EQ(ReadFile(dir.File("made.bki")), "made");

    const mode_t old = ::umask(077);
    EXPECT_TRUE(WriteFileAtomically(dir.File("private.bki"), "x"));
    ::umask(022);
    EXPECT_TRUE(WriteFileAtomically(dir.File("shared.bki"), "x"));
    ::umask(old);
    EXPECT_EQ(ModeOf(dir.File("private.bki")), 0600u);
    EXPECT_EQ(ModeOf(dir.File("shared.bki")), 0644u);

    ASSERT_EQ(::chmod(real.c_str(), 04750), 0);
    EXPECT_TRUE(WriteFileAtomically(real, "kept"));
    EXPECT_EQ(ModeOf(real), 0750u);  // its bits, never setuid

    for (size_t length : {249u, 250u, 255u}) {
        const std::string name = dir.File(std::string(length - 4, 'n') + ".bki");
        EXPECT_TRUE(WriteFileAtomically(name, "long")) << length;
        EXPECT_EQ(ReadFile(name), "long") << length;
    }
}

TEST(SaveAtomically, AKillWhileWritingLeavesNothingBehind) {
    TempDir dir;
    const std::string path = dir.File("keep.bki");
    WriteFile(path, "old");
    const pid_t child = ::fork();
    if (child == 0) {
        AtomicWriteHook hook([](AtomicWriteStep, size_t written) {
            if (written > 0) ::kill(::getpid(), SIGKILL);
            return true;
        });
        WriteFileAtomically(path, std::string(1 << 20, 'n'));
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        names.push_back(e.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"keep.bki"});
    EXPECT_EQ(ReadFile(path), "old");
}

}  // namespace
}  // namespace vx

namespace vx {
namespace {

// A replaced file keeps its extended attributes (and so its ACLs), and its
// new text reaches the disk before it takes the old one's name.
TEST(SaveInvestigationFile, KeepsAttributesAndSyncsBeforeTheRename) {
    TempDir dir;
    const std::string path = dir.File("tagged.bki");
    WriteFile(path, "[item0]\nkeyterm=old\n");
    if (::setxattr(path.c_str(), "user.vexorin.tag", "blue", 4, 0) != 0)
        GTEST_SKIP() << "no user attributes on this file system";
    ResultsTable t;
    t.SetKeyTerm(t.Append(), "new");
    std::vector<AtomicWriteStep> steps;
    AtomicWriteHook hook([&steps](AtomicWriteStep step, size_t) {
        steps.push_back(step);
        return true;
    });
    ASSERT_TRUE(SaveInvestigationFile(path, t));
    char value[16] = {};
    EXPECT_EQ(::getxattr(path.c_str(), "user.vexorin.tag", value, sizeof value), 4);
    EXPECT_STREQ(value, "blue");
    ASSERT_GE(steps.size(), 2u);
    EXPECT_EQ(steps[steps.size() - 2], AtomicWriteStep::Sync);
    EXPECT_EQ(steps.back(), AtomicWriteStep::Rename);
}

}  // namespace
}  // namespace vx
