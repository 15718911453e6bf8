#pragma once

// What the screenshot tools share: their command line (OUTDIR [SOURCE_DIR]), the sample templates
// they show, and saving a widget's picture with a failure counted and said.
#include <QDir>
#include <QStringList>
#include <QWidget>

#include <cstdio>
#include <optional>

namespace verolux::tools {

inline constexpr const char* kSamples[] = {"orders", "invoice", "labels"};

class SampleShots {
  public:
    // Empty after the usage line when OUTDIR is missing; SOURCE_DIR defaults to `defaultSource`.
    static std::optional<SampleShots> FromArguments(const QStringList& args, const char* program,
                                                    const QString& defaultSource) {
        if (args.size() < 2) {
            std::fprintf(stderr, "usage: %s OUTDIR [SOURCE_DIR]\n", program);
            return std::nullopt;
        }
        SampleShots shots;
        shots.m_out.setPath(args[1]);
        QDir().mkpath(args[1]);
        shots.m_source = args.size() > 2 ? args[2] : defaultSource;
        return shots;
    }

    // A sample's file, e.g. sample("templates", "orders", ".grf").
    QString sample(const char* folder, const QString& name, const char* suffix) const {
        return m_source + QStringLiteral("/demo/") + QString::fromLatin1(folder) + QLatin1Char('/') + name +
               QString::fromLatin1(suffix);
    }

    QString outPath(const QString& file) const { return m_out.filePath(file); }

    void fail(const char* what, const QString& why) {
        std::fprintf(stderr, "%s: %s\n", what, why.toUtf8().constData());
        ++m_failures;
    }

    // Saves the widget's picture as OUTDIR/file; the path written, or empty after a failure.
    QString save(QWidget& widget, const QString& file, const char* what) {
        const QString path = outPath(file);
        if (widget.grab().save(path)) return path;
        fail(what, QStringLiteral("cannot write ") + path);
        return {};
    }

    int exitCode() const { return m_failures ? 1 : 0; }

  private:
    SampleShots() = default;
    QDir m_out;
    QString m_source;
    int m_failures = 0;
};

} // namespace verolux::tools
