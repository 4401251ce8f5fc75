// What a decision window came to, and the word every output form uses for it.
#ifndef SSL_STREAM_OUTCOME_H
#define SSL_STREAM_OUTCOME_H

namespace ssl_stream {

enum class Outcome { angle, below_gate, no_direction, delay_too_large };
const char *outcome_word(Outcome outcome);

} // namespace ssl_stream

#endif
