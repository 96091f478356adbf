#include "gui/app/Language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>
#include <vector>

#include "core/model/MessageTable.h"

namespace varnel {

namespace {
bool english = false;
}  // namespace

QString LanguageFromLocale()
{
    return EnglishLocale() ? QStringLiteral("en") : QStringLiteral("zh");
}

bool InstallLanguage(const QString& language, const QString& folder)
{
    static std::vector<std::unique_ptr<QTranslator>> installed;
    for (const auto& translator : installed) QCoreApplication::removeTranslator(translator.get());
    installed.clear();
    english = false;
    auto translator = std::make_unique<QTranslator>();
    const bool loaded = language == QLatin1String("en")
                            ? translator->load(QStringLiteral("varnel_en"), folder)
                            : translator->load(QStringLiteral("qtbase_zh_CN"),
                                               QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    if (!loaded) return false;
    QCoreApplication::installTranslator(translator.get());
    installed.push_back(std::move(translator));
    english = language == QLatin1String("en");
    return true;
}

bool EnglishShown()
{
    return english;
}

QString Shown(std::string_view text)
{
    const std::string shown = english ? EnglishText(text) : std::string(text);
    return QString::fromStdString(shown);
}

}  // namespace varnel
