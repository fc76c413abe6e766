#pragma once

#include "menubar/StatusItem.h"

#include <utility>

namespace quendle2::test {

/// A status item that remembers its text, and whose host and activation token a test sets.
class RecordingItem final : public StatusItem {
public:
    void setTitle(const QString& title) override {
        m_title = title;
        ++m_sets;
    }
    QString title() const override { return m_title; }
    void setWarning(const QString& warning) override { m_warning = warning; }
    QString warning() const override { return m_warning; }
    bool isHosted() const override { return m_hosted; }
    QString takeActivationToken() override { return std::exchange(token, QString()); }
    int sets() const { return m_sets; }

    void setHosted(bool hosted) {
        m_hosted = hosted;
        Q_EMIT hostedChanged(hosted);
    }

    QString token;
    int menusShown = 0;

protected:
    void showMenu(const JourneyMenu&) override { ++menusShown; }

private:
    QString m_title;
    QString m_warning;
    int m_sets = 0;
    bool m_hosted = true;
};

} // namespace quendle2::test
