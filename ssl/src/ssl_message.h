// Message lines on standard output: "[level] " followed by the message's own text.
#ifndef SSL_MESSAGE_H
#define SSL_MESSAGE_H

// fmt begins with "[%s] %s"; the second field is always empty.
void ssl_error(const char *fmt);
void ssl_error_in(const char *fmt, const char *function);
void ssl_error_count(const char *fmt, int count);
void ssl_note(const char *fmt);
void ssl_note_count(const char *fmt, int count);
void ssl_note_version(const char *fmt, unsigned year, unsigned date, unsigned build);

#endif
