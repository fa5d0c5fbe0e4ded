#pragma once
// A sender that keeps what it was given, or fails when told to: for the forms and
// the send-then-record rule, without a server.

#include <memory>

#include "domain/mail/MailSender.h"

namespace gd::test {

class FakeMailSender final : public MailSender {
public:
    struct Log {
        QList<OutgoingMail> sent;
        QString failWith;  // non-empty: every send fails with it
    };
    explicit FakeMailSender(std::shared_ptr<Log> log) : log_(std::move(log)) {}
    Status send(const MailComposer&, const OutgoingMail& mail) override {
        if (!log_->failWith.isEmpty()) return Error::plain(log_->failWith);
        log_->sent << mail;
        return {};
    }
    bool takesAttachments() const override { return true; }
    bool waits() const override { return true; }

private:
    std::shared_ptr<Log> log_;
};

}  // namespace gd::test
