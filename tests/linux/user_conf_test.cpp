#include "linux/user_conf.h"

#include <gtest/gtest.h>

#include <glob.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace
{

TEST(user_conf, path_follows_the_xdg_rule)
{
    struct {
        const char *config_home;
        const char *home;
        std::string path;
    } const cases[] = {
        {"/x/cfg", "/home/u", "/x/cfg/sorvak/conf.txt"},
        {"", "/home/u", "/home/u/.config/sorvak/conf.txt"},
        {nullptr, "/home/u", "/home/u/.config/sorvak/conf.txt"},
        // A relative folder is invalid and ignored.
        {"cfg", "/home/u", "/home/u/.config/sorvak/conf.txt"},
        {nullptr, nullptr, ""},
        {"", "home", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(user_conf_path(c.config_home, c.home), c.path)
            << (c.config_home ? c.config_home : "(unset)") << " " << (c.home ? c.home : "(unset)");
}

TEST(user_conf, permission_warning_names_who_else_can_change_the_file)
{
    const uid_t me = 1000;
    struct {
        mode_t mode;
        uid_t owner;
        bool private_group;
        std::string problem;
    } const cases[] = {
        {0600, me, false, ""},
        {0644, me, false, ""},
        {0620, me, false, "writable by group"},
        {0606, me, false, "writable by others"},
        {0622, me, false, "writable by group and others"},
        // The user's own private group holds no one else.
        {0660, me, true, ""},
        {0662, me, true, "writable by others"},
        // root can change any file anyway.
        {0644, 0, false, ""},
        {0664, 0, false, "writable by group"},
        {0644, 1001, false, "owned by uid 1001"},
        {0666, 1001, false, "owned by uid 1001 and writable by group and others"},
        {0660, 1001, true, "owned by uid 1001"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(conf_permission_problem(c.mode, c.owner, me, c.private_group), c.problem)
            << std::oct << c.mode << std::dec << " " << c.owner << " " << c.private_group;
}

// The sample appears under its name whole: the name is made by a link,
// never written through, so a copy starting meanwhile never reads half of it.
TEST(user_conf, first_sample_appears_whole)
{
    char pattern[] = "/tmp/sorvak-conf-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    std::string home = pattern;
    std::string folder = home + "/sorvak";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(inotify_add_watch(watch, folder.c_str(), IN_CREATE | IN_MODIFY | IN_CLOSE_WRITE), 0);
    const char *saved = std::getenv("XDG_CONFIG_HOME");
    std::string saved_home = saved != nullptr ? saved : "";
    setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    gesture_context context{};
    use_linux_conf_path(&context, stderr);
    saved != nullptr ? setenv("XDG_CONFIG_HOME", saved_home.c_str(), 1)
                     : unsetenv("XDG_CONFIG_HOME");

    std::string conf = folder + "/conf.txt";
    ASSERT_NE(context.conf_path, nullptr);
    EXPECT_EQ(context.conf_path, conf);
    std::free(context.conf_path);
    // What happened to the name conf.txt: created, never written.
    std::uint32_t seen = 0;
    alignas(inotify_event) char events[4096];
    ssize_t length = read(watch, events, sizeof events);
    for (ssize_t at = 0; at < length;) {
        const auto *event = reinterpret_cast<const inotify_event *>(events + at);
        if (event->len > 0 && std::string(event->name) == "conf.txt")
            seen |= event->mask;
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
    close(watch);
    EXPECT_EQ(seen, IN_CREATE);
    std::ifstream file(conf);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), CONF_SAMPLE);
    // Nothing else is left beside it.
    glob_t found;
    ASSERT_EQ(glob((folder + "/*").c_str(), 0, nullptr, &found), 0);
    EXPECT_EQ(std::vector<std::string>(found.gl_pathv, found.gl_pathv + found.gl_pathc),
              std::vector<std::string>{conf});
    for (std::size_t i = 0; i < found.gl_pathc; ++i)
        std::remove(found.gl_pathv[i]);
    globfree(&found);
    rmdir(folder.c_str());
    rmdir(home.c_str());
}

} // namespace
