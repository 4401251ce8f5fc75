#include "ssl_message.h"

#include <stdio.h>

namespace {
constexpr const char *LEVEL_ERROR = "ALGO_MSG_ERR";
constexpr const char *LEVEL_NOTE = "ALGO_MSG_MSG";
constexpr const char *NO_TAG = "";
}  // namespace

void ssl_error(const char *fmt)
{
    printf(fmt, LEVEL_ERROR, NO_TAG);
}

void ssl_error_in(const char *fmt, const char *function)
{
    printf(fmt, LEVEL_ERROR, NO_TAG, function);
}

void ssl_error_count(const char *fmt, int count)
{
    printf(fmt, LEVEL_ERROR, NO_TAG, count);
}

void ssl_note(const char *fmt)
{
    printf(fmt, LEVEL_NOTE, NO_TAG);
}

void ssl_note_count(const char *fmt, int count)
{
    printf(fmt, LEVEL_NOTE, NO_TAG, count);
}

void ssl_note_version(const char *fmt, unsigned year, unsigned date, unsigned build)
{
    printf(fmt, LEVEL_NOTE, NO_TAG, year, date, build);
}
