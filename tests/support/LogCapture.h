#pragma once

#include <QList>
#include <QLoggingCategory>
#include <QStringList>

#include <optional>
#include <utility>

namespace quendle2::test {

/// Collects the messages of one logging category while alive and passes the others on; of two live captures
/// (of the same category) the first installs the handler and the last removes it.
class LogCapture {
public:
    explicit LogCapture(const QLoggingCategory& category) {
        if (depth++ == 0) {
            name = category.categoryName();
            lines.clear();
            previous = qInstallMessageHandler(&LogCapture::handle);
        }
    }
    ~LogCapture() {
        if (--depth == 0) {
            qInstallMessageHandler(previous);
        }
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    bool has(QtMsgType type, const QString& text) const { return lines.contains({type, text}); }
    /// The texts that start with `prefix`, of one type or of any, oldest first.
    QStringList startingWith(const QString& prefix = {}, std::optional<QtMsgType> only = {}) const {
        QStringList texts;
        for (const auto& [type, text] : lines) {
            if ((prefix.isEmpty() || text.startsWith(prefix)) && only.value_or(type) == type) {
                texts << text;
            }
        }
        return texts;
    }
    void clear() { lines.clear(); }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (context.category != nullptr && qstrcmp(context.category, name) == 0) {
            lines.append({type, text});
        } else if (previous != nullptr) {
            previous(type, context, text);
        }
    }
    static inline QList<std::pair<QtMsgType, QString>> lines;
    static inline QtMessageHandler previous = nullptr;
    static inline const char* name = nullptr;
    static inline int depth = 0;
};

} // namespace quendle2::test
