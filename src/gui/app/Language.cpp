#include "gui/app/Language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <memory>
#include <vector>

namespace varnel {

QString LanguageFromLocale()
{
    return QLocale::system().language() == QLocale::English ? QStringLiteral("en")
                                                            : QStringLiteral("zh");
}

bool InstallLanguage(const QString& language, const QString& folder)
{
    static std::vector<std::unique_ptr<QTranslator>> installed;
    for (const auto& translator : installed) QCoreApplication::removeTranslator(translator.get());
    installed.clear();
    auto translator = std::make_unique<QTranslator>();
    const bool loaded = language == QLatin1String("en")
                            ? translator->load(QStringLiteral("varnel_en"), folder)
                            : translator->load(QStringLiteral("qtbase_zh_CN"),
                                               QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    if (!loaded) return false;
    QCoreApplication::installTranslator(translator.get());
    installed.push_back(std::move(translator));
    return true;
}

}  // namespace varnel
