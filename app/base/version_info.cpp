#include "base/version_info.hpp"

#include "vibrolan/version.h"

namespace vibrolan::app {

std::array<unsigned, 4> ParseVersion(const QString &text)
{
    std::array<unsigned, 4> v{0, 0, 0, 0};
    const QStringList parts = text.split(QLatin1Char('.'));
    for (int i = 0; i < 4 && i < parts.size(); ++i)
        v[static_cast<std::size_t>(i)] = parts[i].toUInt();
    return v;
}

VersionInfo ProgramVersionInfo()
{
    VersionInfo info;
    const QString version = QStringLiteral(VIBROLAN_VERSION);
    info.strings[QStringLiteral("CompanyName")] = QStringLiteral("Vibrolan");
    info.strings[QStringLiteral("ProductName")] = QStringLiteral("Vibrolan");
    info.strings[QStringLiteral("ProductVersion")] = version;
    info.strings[QStringLiteral("FileDescription")] = QStringLiteral("Анализ вибрации лопаточного аппарата");
    info.strings[QStringLiteral("Comments")] =
        QStringLiteral("Анализ вибрации лопаток по времени прихода торцов");
    info.fileVersion = ParseVersion(version);
    return info;
}

QStringList AboutLabelTexts(const VersionInfo &info, const QStringList &designTexts)
{
    static const char *const kNamed[] = {"CompanyName",    "ProductName",     "PrivateBuild",
                                         "ProductVersion", "FileDescription", "SpecialBuild"};
    QStringList out = designTexts;
    while (out.size() < 8)
        out << QString();
    int i = 0;
    for (const char *name : kNamed) {
        const auto it = info.strings.find(QString::fromLatin1(name));
        if (it != info.strings.end())
            out[i] = QString::fromLatin1(name) + QStringLiteral(": ") + it->second;
        ++i;
    }
    const auto &fv = info.fileVersion;
    out[6] = QStringLiteral("FileVersion :  %1.%2.%3.%4").arg(fv[0]).arg(fv[1]).arg(fv[2]).arg(fv[3]);
    const auto c = info.strings.find(QStringLiteral("Comments"));
    if (c != info.strings.end())
        out[7] = c->second;
    return out;
}

} // namespace vibrolan::app
