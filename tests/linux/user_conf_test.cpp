#include "linux/user_conf.h"

#include <gtest/gtest.h>

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

} // namespace
