// Every diagnostic of the configuration reader goes to the standard error
// through these, counted by problem, so a checker can tell a clean load from
// one that reported something and a desktop program can say that there is
// something to check.
#pragma once

#include <cstddef>

// A problem: its first line, written as it stands (formats %d and %s).
void conf_report(const char *text);
void conf_reportf(const char *format, ...) __attribute__((format(printf, 1, 2)));
// A further, indented line about the problem just reported.
void conf_report_more(const char *text);
void conf_reportf_more(const char *format, ...) __attribute__((format(printf, 1, 2)));
// "error in conf file, line N": a problem whose words come on its next line.
void conf_report_line_error(int line_number);

// Problems reported so far by this process.
long conf_report_count();

// The loader says where a load and each of its lines begin (0: not on a line).
void conf_report_begin_load();
void conf_report_on_line(int line_number);

constexpr std::size_t CONF_SUMMARY_SIZE = 200;

// What the latest load reported: how many problems, and the first one in one
// line ("line 3: unknown parameter uo"), cut to fit.
struct conf_load_summary {
    long problems;
    char first[CONF_SUMMARY_SIZE];
};
void conf_last_load(conf_load_summary *summary);
