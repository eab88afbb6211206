#include "linux/program_icon.h"

#include "linux/tray_icon_image.h"
#include "platform/platform.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <cstdlib>
#include <string>

namespace
{

constexpr const char THEME_NAME[] = "sorvak";
// A themed icon for when the program's own cannot be written.
constexpr const char FALLBACK_ICON_NAME[] = "input-mouse";

struct icon_choice {
    std::string icon;
    std::string theme_path;
};

// The icon goes to a file of the user's own, rewritten at each start so it
// matches this build, and is named by its absolute path: a bare name would
// be loaded from a file of that name in the current directory, if any.
std::string write_icon_file()
{
    std::string folder = std::string(g_get_user_runtime_dir()) + "/sorvak-icons";
    std::string file = folder + "/sorvak.png";
    if (g_mkdir_with_parents(folder.c_str(), 0700) != 0 ||
        !g_file_set_contents(file.c_str(), reinterpret_cast<const gchar *>(TRAY_ICON_PNG),
                             static_cast<gssize>(TRAY_ICON_PNG_SIZE), nullptr))
        return FALLBACK_ICON_NAME;
    return file;
}

// "<prefix>/share/icons" when the executable is <prefix>/bin/sorvak and the
// theme there holds the icon, "" otherwise.
std::string installed_theme_path()
{
    char *program = plat_executable_path();
    if (program == nullptr)
        return "";
    gchar *bin = g_path_get_dirname(program);
    gchar *bin_name = g_path_get_basename(bin);
    gchar *prefix = g_path_get_dirname(bin);
    std::string icons = std::string(prefix) + "/share/icons";
    bool installed =
        g_strcmp0(bin_name, "bin") == 0 &&
        g_file_test((icons + "/hicolor/64x64/apps/sorvak.png").c_str(), G_FILE_TEST_IS_REGULAR);
    g_free(prefix);
    g_free(bin_name);
    g_free(bin);
    std::free(program);
    return installed ? icons : "";
}

const icon_choice &choice()
{
    static const icon_choice chosen = [] {
        std::string theme_path = installed_theme_path();
        return theme_path.empty() ? icon_choice{write_icon_file(), ""}
                                  : icon_choice{THEME_NAME, theme_path};
    }();
    return chosen;
}

} // namespace

const char *program_icon()
{
    return choice().icon.c_str();
}

const char *program_icon_theme_path()
{
    return choice().theme_path.c_str();
}
