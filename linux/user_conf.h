// Which conf.txt the Linux programs read: the one beside the executable when
// there is one (portable use, the build folder), otherwise the user's in the
// XDG configuration folder, written from the commented sample the first
// time. And the word after each load on what only Linux can go wrong with it.
// sorvak and sorvak-check both link this, so they always read the same file.
#pragma once

#include "gesture/gesture_context.h"

#include <sys/types.h>

#include <cstdio>
#include <string>

// The commented sample, compiled in: the programs need nothing installed
// beside them to make a user's first file.
extern const char CONF_SAMPLE[];

// $XDG_CONFIG_HOME/sorvak/conf.txt, or $HOME/.config/sorvak/conf.txt when the
// variable is unset, empty or relative (which the XDG rules say to ignore).
// Empty when `home` gives no absolute folder either.
std::string user_conf_path(const char *config_home, const char *home);

// Points context->conf_path, filled beside the executable by init_context, at
// the file to use. When neither file exists the user's is created from the
// sample (missing folders mode 0700, the file 0600) and `err` is told where,
// or why it could not be; with `err` null nothing is created. conf_path is
// left as it was when no user folder can be named or the new text cannot be
// allocated.
void use_linux_conf_path(gesture_context *context, std::FILE *err);

// What is wrong with a conf.txt of mode `mode` owned by `owner`, for the
// user `user` who reads it; empty when nothing is. A file root owns is not
// flagged for its owner, nor one writable by the group when that group is
// the user's own private group (`private_group`).
std::string conf_permission_problem(mode_t mode, uid_t owner, uid_t user, bool private_group);

// Said after each load of context->conf_path: the permission warning, then
// the word on a capture key the input in use cannot read, then, on a
// Wayland desktop that does not tell which program is in front, that
// exclude lines and program blocks do nothing. Returns how many problems it
// told of (the notes are not ones).
int report_linux_conf_words(const gesture_context *context, std::FILE *err);
