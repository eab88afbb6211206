#include "linux/user_conf.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

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

TEST(user_conf, permission_problems_are_writers_other_than_the_user)
{
    constexpr uid_t USER = 1000;
    struct {
        mode_t mode;
        uid_t owner;
        std::string problem;
    } const cases[] = {
        {S_IFREG | 0600, USER, ""},
        {S_IFREG | 0644, USER, ""}, // others may read it
        {S_IFREG | 0620, USER, "writable by group"},
        {S_IFREG | 0602, USER, "writable by others"},
        {S_IFREG | 0666, USER, "writable by group and others"},
        {S_IFREG | 0600, 0, "owned by uid 0"},
        {S_IFREG | 0622, 0, "owned by uid 0 and writable by group and others"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(conf_permission_problem(c.mode, c.owner, USER), c.problem) << std::oct << c.mode;
}

} // namespace
