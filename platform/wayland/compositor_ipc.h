// What the compositors' own interfaces share: a Unix socket asked and
// answered, and the answer's JSON.
#pragma once

#include <json-glib/json-glib.h>

#include <cstddef>
#include <string>

// A connected stream socket at `path`, or -1.
int connect_socket(const std::string &path);

// The whole of `size` bytes written or read; false when the connection fails
// or ends first.
bool write_all(int fd, const void *data, std::size_t size);
bool read_all(int fd, void *data, std::size_t size);

// Member `name` of `object` when it is a string; empty otherwise.
std::string member_text(JsonObject *object, const char *name);
