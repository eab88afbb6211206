#include "support/capture_output.h"

#include "conf/value_handlers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

captured_output capture_output(const std::function<void()> &body)
{
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    body();
    std::fflush(stdout);
    std::fflush(stderr);
    captured_output result;
    result.err = testing::internal::GetCapturedStderr();
    result.out = testing::internal::GetCapturedStdout();
    return result;
}

test_context::test_context(const std::string &program_path)
    : path_buffer(program_path), context(std::make_unique<gesture_context>())
{
    init_context(&path_buffer[0], context.get());
}

test_context::~test_context()
{
    for (action_slot &slot : context->slots) {
        std::free(slot.program);
        std::free(slot.parameters);
    }
    for (int i = 0; i < context->excluded_count; ++i)
        std::free(context->excluded[i]);
    clear_blocks(context.get());
    std::free(context->conf_path);
}

std::string make_temp_dir()
{
    const char *base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/sorvak-test-XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    return pattern;
}

void write_file(const std::string &path, const std::string &bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << bytes;
    if (!file)
        throw std::runtime_error("cannot write " + path);
}
