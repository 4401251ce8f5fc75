#include "outcome.h"

namespace ssl_stream {

const char *outcome_word(Outcome outcome) {
    switch (outcome) {
    case Outcome::angle: return "angle";
    case Outcome::below_gate: return "below_gate";
    case Outcome::no_direction: return "no_direction";
    case Outcome::delay_too_large: return "delay_too_large";
    }
    return "";
}

} // namespace ssl_stream
