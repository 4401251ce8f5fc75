#include "ssl_sequence.h"

#include "ssl_message.h"

namespace {

constexpr int32_t SslHandle::*FLAG_FIELDS[] = {
    &SslHandle::config_state, &SslHandle::shape_state,     &SslHandle::params_state,
    &SslHandle::run_state,    &SslHandle::direction_state, &SslHandle::voting_state,
};

int32_t fail_invalid(const SslCallRules &rules)
{
    if (rules.function != nullptr) {
        ssl_error_in(rules.invalid_handle, rules.function);
    } else {
        ssl_error(rules.invalid_handle);
    }
    return SSL_RET_INVALID_HANDLE;
}

}  // namespace

int32_t ssl_check_call(const SslHandle *h, const SslCallRules &rules)
{
    if (h == nullptr || (rules.tests_marker && h->marker != SSL_MARKER)) {
        return fail_invalid(rules);
    }
    if (h->init_state != SSL_DONE) {
        ssl_error(rules.no_init);
        return SSL_RET_INIT_ERROR;
    }
    for (size_t i = 0; i < rules.order_count; ++i) {
        const SslOrderCheck &check = rules.order[i];
        if (h->*FLAG_FIELDS[check.flag] == check.state) {
            ssl_error(check.message);
            return check.code;
        }
    }
    return SSL_RET_OK;
}
