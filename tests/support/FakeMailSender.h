#pragma once
// A sender that keeps what it was given, or fails when told to: for the forms and
// the send-then-record rule, without a server; and the one sale they mail about.

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

// One sale of one piece to Hans Müller, as the main window hands it to the mail form.
// A sale of the test's database as the main window hands it over.
inline MailInputs single() {
    MailInputs in;
    in.store = currentStore();
    in.profile = mailProfile(currentSettings());
    in.sName = QStringLiteral("Hans Müller");
    in.sPreis = QStringLiteral("24,50");
    in.sVersand = QStringLiteral("4,90");
    in.sEmail = QStringLiteral(" hans@example.de ");
    in.sArtikelnummer = QStringLiteral("1234567890");
    in.sBezeichnung = QStringLiteral("Kaffeemühle");
    in.sGesamtbetrag = QStringLiteral("29,40");
    in.sAngebotsende = QStringLiteral("04.12.2026");
    return in;
}

}  // namespace gd::test
