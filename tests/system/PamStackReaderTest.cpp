// Reading PAM auth stacks for pam_fprintd.so on fake trees: syntax, includes, bounds, options.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <utility>
#include <vector>

#include "PamStackReader.h"
#include "SystemFile.h"
#include "SystemTree.h"

namespace {

using Files = std::vector<std::pair<std::string, std::string>>;

struct StackRow {
    const char* name;
    Files files;
    bool on;
    std::vector<std::string> chain;
    std::optional<std::string> maxTries;
    std::optional<std::string> timeout;
    std::string note;  // a part of it, or "" for none
};

std::string Nested(int depth) {
    return "auth include level" + std::to_string(depth) + "\n";
}

Files DeepChain(int levels) {
    Files files = {{"/etc/pam.d/sudo", Nested(1)}};
    for (int level = 1; level < levels; ++level) {
        files.push_back({"/etc/pam.d/level" + std::to_string(level), Nested(level + 1)});
    }
    files.push_back(
        {"/etc/pam.d/level" + std::to_string(levels), "auth required pam_fprintd.so\n"});
    return files;
}

}  // namespace

TEST(PamStackReader, Rows) {
    const std::string fprintd = "auth sufficient pam_fprintd.so\n";
    const StackRow rows[] = {
        {"the module in the service itself, defaults",
         {{"/etc/pam.d/sudo", fprintd}},
         true,
         {"sudo"},
         std::nullopt,
         std::nullopt,
         ""},
        {"options as set, the last one wins",
         {{"/etc/pam.d/sudo",
           "auth [success=2 default=ignore] /lib/security/pam_fprintd.so max-tries=5 "
           "timeout=20 max-tries=1 debug\n"}},
         true,
         {"sudo"},
         "1",
         "20",
         ""},
        {"Debian's @include",
         {{"/etc/pam.d/sudo", "@include common-auth\n"}, {"/etc/pam.d/common-auth", fprintd}},
         true,
         {"sudo", "common-auth"},
         std::nullopt,
         std::nullopt,
         ""},
        {"Fedora's include and substack",
         {{"/etc/pam.d/sudo", "auth substack system-auth\n"},
          {"/etc/pam.d/system-auth", "auth include fingerprint-auth\n"},
          {"/etc/pam.d/fingerprint-auth", "auth sufficient pam_fprintd.so timeout=10\n"}},
         true,
         {"sudo", "system-auth", "fingerprint-auth"},
         std::nullopt,
         "10",
         ""},
        {"only auth lines count",
         {{"/etc/pam.d/sudo", "account required pam_fprintd.so\nsession include common-auth\n"},
          {"/etc/pam.d/common-auth", fprintd}},
         false,
         {},
         std::nullopt,
         std::nullopt,
         ""},
        {"comments, whole and trailing",
         {{"/etc/pam.d/sudo",
           "# auth sufficient pam_fprintd.so\nauth required pam_unix.so # pam_fprintd.so\n"}},
         false,
         {},
         std::nullopt,
         std::nullopt,
         ""},
        {"a backslash in a comment joins nothing",
         {{"/etc/pam.d/sudo", "# old line \\\nauth sufficient pam_fprintd.so\n"}},
         true,
         {"sudo"},
         std::nullopt,
         std::nullopt,
         ""},
        {"a continued line",
         {{"/etc/pam.d/sudo", "auth sufficient \\\n  pam_fprintd.so max-tries=2\n"}},
         true,
         {"sudo"},
         "2",
         std::nullopt,
         ""},
        {"types and keywords in any case",
         {{"/etc/pam.d/sudo", "AUTH INCLUDE common-auth\n"}, {"/etc/pam.d/common-auth", fprintd}},
         true,
         {"sudo", "common-auth"},
         std::nullopt,
         std::nullopt,
         ""},
        {"a bracketed control with blanks",
         {{"/etc/pam.d/sudo",
           "auth [success=1 new_authtok_reqd=ok default=ignore] pam_fprintd.so\n"}},
         true,
         {"sudo"},
         std::nullopt,
         std::nullopt,
         ""},
        {"the '-' prefix still loads an installed module",
         {{"/etc/pam.d/sudo", "-auth sufficient pam_fprintd.so\n"}},
         true,
         {"sudo"},
         std::nullopt,
         std::nullopt,
         ""},
        {"/usr/lib/pam.d when /etc/pam.d has no such file",
         {{"/usr/lib/pam.d/sudo", "@include common-auth\n"},
          {"/usr/lib/pam.d/common-auth", fprintd}},
         true,
         {"sudo", "common-auth"},
         std::nullopt,
         std::nullopt,
         ""},
        {"/etc/pam.d wins over /usr/lib/pam.d",
         {{"/etc/pam.d/sudo", "auth required pam_unix.so\n"}, {"/usr/lib/pam.d/sudo", fprintd}},
         false,
         {},
         std::nullopt,
         std::nullopt,
         ""},
        {"an absolute include",
         {{"/etc/pam.d/sudo", "auth include /etc/fingerprint.pam\n"},
          {"/etc/fingerprint.pam", fprintd}},
         true,
         {"sudo", "/etc/fingerprint.pam"},
         std::nullopt,
         std::nullopt,
         ""},
        {"a missing include is named, the rest still read",
         {{"/etc/pam.d/sudo", "@include gone\nauth sufficient pam_fprintd.so\n"}},
         true,
         {"sudo"},
         std::nullopt,
         std::nullopt,
         ""},
        {"a missing include without the module",
         {{"/etc/pam.d/sudo", "@include gone\n"}},
         false,
         {},
         std::nullopt,
         std::nullopt,
         "sudo -> gone: no such PAM file"},
        {"a loop ends off",
         {{"/etc/pam.d/sudo", "@include a\n"},
          {"/etc/pam.d/a", "@include b\n"},
          {"/etc/pam.d/b", "@include a\n" + fprintd}},
         false,
         {},
         std::nullopt,
         std::nullopt,
         "include loop: sudo -> a -> b -> a"},
        {"a service that includes itself",
         {{"/etc/pam.d/sudo", "auth include sudo\n"}},
         false,
         {},
         std::nullopt,
         std::nullopt,
         "include loop: sudo -> sudo"},
        {"the same file twice, not nested, is no loop",
         {{"/etc/pam.d/sudo", "@include common\n@include common\n" + fprintd},
          {"/etc/pam.d/common", "auth required pam_unix.so\n"}},
         true,
         {"sudo"},
         std::nullopt,
         std::nullopt,
         ""},
        {"as deep as PAM goes",
         DeepChain(kPamIncludeDepthLimit - 1),
         true,
         {},
         std::nullopt,
         std::nullopt,
         ""},
        {"deeper than PAM goes",
         DeepChain(kPamIncludeDepthLimit),
         false,
         {},
         std::nullopt,
         std::nullopt,
         "includes nest deeper than 16"},
        {"no PAM file", {}, false, {}, std::nullopt, std::nullopt, "no PAM file for it"},
    };
    for (const StackRow& row : rows) {
        SystemTree tree;
        tree.InstallFprintdModule();
        tree.Write("/lib/security/pam_fprintd.so", "");
        for (const auto& [path, content] : row.files) {
            tree.Write(path, content);
        }
        const PamStackResult result = PamStackReader(tree.Root()).ReadAuthStack("sudo");
        EXPECT_EQ(result.usesFingerprint, row.on) << row.name;
        EXPECT_FALSE(result.unreadable) << row.name;
        if (!row.chain.empty()) {
            EXPECT_EQ(result.chain, row.chain) << row.name;
        }
        EXPECT_EQ(result.maxTries, row.maxTries) << row.name;
        EXPECT_EQ(result.timeout, row.timeout) << row.name;
        if (row.note.empty()) {
            EXPECT_EQ(result.note, "") << row.name;
        } else {
            EXPECT_NE(result.note.find(row.note), std::string::npos)
                << row.name << ": " << result.note;
        }
    }
}

TEST(PamStackReader, ModuleThatIsNotInstalledIsOff) {
    for (const char* prefix : {"", "-"}) {
        SystemTree tree;
        tree.Write("/etc/pam.d/sudo", std::string(prefix) + "auth sufficient pam_fprintd.so\n");
        const PamStackResult result = PamStackReader(tree.Root()).ReadAuthStack("sudo");
        EXPECT_FALSE(result.usesFingerprint) << prefix;
        EXPECT_NE(result.note.find("pam_fprintd.so is named in /etc/pam.d/sudo but is not "
                                   "installed"),
                  std::string::npos)
            << result.note;
        EXPECT_EQ(result.note.find("PAM skips it") != std::string::npos, *prefix == '-') << prefix;
    }
}

TEST(PamStackReader, FilesThatCannotBeReadAreNamed) {
    const struct {
        const char* name;
        bool includedFileIsDirectory;
        std::string note;
    } rows[] = {
        {"an included file that is a directory", true,
         "cannot read /etc/pam.d/common-auth: not a regular file"},
        {"an oversized included file", false,
         "/etc/pam.d/common-auth is larger than 65536 bytes; not read"},
    };
    for (const auto& row : rows) {
        SystemTree tree;
        tree.InstallFprintdModule();
        tree.Write("/etc/pam.d/sudo", "@include common-auth\nauth sufficient pam_fprintd.so\n");
        if (row.includedFileIsDirectory) {
            tree.Write("/etc/pam.d/common-auth/x", "");
        } else {
            // The module's line first: a file too large is not read at all, not half read.
            tree.Write(
                "/etc/pam.d/common-auth",
                std::string("auth sufficient pam_fprintd.so\n").append(kSystemFileLimit, '#'));
        }
        const PamStackResult result = PamStackReader(tree.Root()).ReadAuthStack("sudo");
        EXPECT_FALSE(result.usesFingerprint) << row.name;
        EXPECT_TRUE(result.unreadable) << row.name;
        EXPECT_EQ(result.note, row.note) << row.name;
    }
}

TEST(PamStackReader, APipeIsNotWaitedOn) {
    SystemTree tree;
    tree.Write("/etc/pam.d/other", "");
    const auto pipe = tree.Root().Resolve("/etc/pam.d/sudo");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const PamStackResult result = PamStackReader(tree.Root()).ReadAuthStack("sudo");
    EXPECT_TRUE(result.unreadable);
    EXPECT_EQ(result.note, "cannot read /etc/pam.d/sudo: not a regular file");
}
