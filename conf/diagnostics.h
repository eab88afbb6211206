// Every diagnostic of the configuration reader goes to the standard error
// through these, counted, so a checker can tell a clean load from one that
// reported something.
#pragma once

// Writes `text` as it stands.
void conf_report(const char *text);
// Writes the formatted text (formats %d and %s).
void conf_reportf(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Diagnostics written so far by this process.
long conf_report_count();
