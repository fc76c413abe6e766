#pragma once

#include <QTranslator>

class QLocale;

namespace quendle2 {

/// quendle2's texts and Qt's own (the standard dialog buttons) in the user's language, for as long as this
/// lives: the first of the locale's UI languages that is English, the language the texts are written in, or
/// that quendle2 has a translation for. Qt's translation is optional: where it is not installed, the standard
/// buttons stay English.
class Translations {
public:
    explicit Translations(const QLocale& locale);
    Translations(const Translations&) = delete;
    Translations& operator=(const Translations&) = delete;

    /// Whether quendle2's texts are translated, rather than shown in English.
    bool translated() const { return !m_own.isEmpty(); }

private:
    QTranslator m_own;
    QTranslator m_qt;
};

} // namespace quendle2
