// Helpers shared by the tests: exact capture of the standard streams and a
// fresh context per test.
#pragma once

#include "gesture/gesture_context.h"

#include <functional>
#include <memory>
#include <string>

struct captured_output {
    std::string out;
    std::string err;
};

// Runs `body` with the standard output and error captured.
captured_output capture_output(const std::function<void()> &body);

// A context filled by init_context with a program path in `dir` (kept alive
// by the returned object) whose slot strings are freed on destruction.
struct test_context {
    explicit test_context(const std::string &program_path = "/nowhere/sorvak.exe");
    ~test_context();
    test_context(const test_context &) = delete;
    test_context &operator=(const test_context &) = delete;
    gesture_context *operator->() { return context.get(); }
    gesture_context *get() { return context.get(); }

    std::string path_buffer;
    std::unique_ptr<gesture_context> context;
};

// A new empty directory under the system's temporary directory.
std::string make_temp_dir();
// Writes `bytes` to `path`, replacing it.
void write_file(const std::string &path, const std::string &bytes);
