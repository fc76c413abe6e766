#include "app/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>

namespace quendle2 {

using namespace Qt::Literals::StringLiterals;

Translations::Translations(const QLocale& locale) {
    for (const QString& name : locale.uiLanguages()) {
        const QLocale language(name);
        // A user who prefers English to German (LANGUAGE=en:de) reads the texts as written.
        if (language.language() == QLocale::English) {
            return;
        }
        if (m_own.load(language, u"quendle2"_s, u"_"_s, u":/i18n"_s)) {
            QCoreApplication::installTranslator(&m_own);
            if (m_qt.load(language, u"qtbase"_s, u"_"_s,
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
                QCoreApplication::installTranslator(&m_qt);
            }
            return;
        }
    }
}

} // namespace quendle2
