// The window's own texts in the user's language, and Qt's for the buttons it draws itself.
#include "UiText.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "Translation.h"

namespace {

constexpr QLatin1StringView kQtCatalogue("qtbase_");
constexpr QLatin1StringView kTranslatorName("varneQtTranslation");

}  // namespace

QString UiText(const char* english) {
    return QString::fromUtf8(Translate(english));
}

QString UiText(const QString& english) {
    return english.isEmpty() ? english : UiText(english.toUtf8().constData());
}

void InstallQtTranslations() {
    auto* application = QCoreApplication::instance();
    if (application == nullptr) {
        return;
    }
    // The language may have changed since the last call (tests change it); one Qt translation.
    delete application->findChild<QTranslator*>(kTranslatorName, Qt::FindDirectChildrenOnly);
    const QString language = QString::fromStdString(TranslationLanguage());
    if (language.isEmpty()) {
        return;
    }
    auto* translator = new QTranslator(application);
    translator->setObjectName(kTranslatorName);
    // "pt_BR" finds qtbase_pt_BR.qm, else qtbase_pt.qm.
    if (!translator->load(kQtCatalogue + language,
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return;
    }
    QCoreApplication::installTranslator(translator);
}
