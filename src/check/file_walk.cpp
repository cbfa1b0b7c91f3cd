#include "check/file_walk.h"

#include "platform/files.h"

#include <QFile>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <unordered_set>

namespace fs = std::filesystem;

namespace {

fs::path ToPath(const QString &text)
{
    return fs::path(QFile::encodeName(text).toStdString());
}

QString FromPath(const fs::path &path)
{
    return QFile::decodeName(QByteArray::fromStdString(path.string()));
}

// The system's reasons in the program's own Russian words, whatever the locale.
QString CannotRead(const QString &path, const std::error_code &error)
{
    return QStringLiteral("«%1»: %2").arg(path, SystemErrorText(error.value()));
}

bool IsLentarName(const fs::path &name)
{
    return FromPath(name).endsWith(QLatin1String(kLentarSuffix), Qt::CaseInsensitive);
}

class Walker
{
public:
    explicit Walker(WalkResult &result)
        : result_(result)
    { }

    void take(const QString &argument)
    {
        const fs::path path = ToPath(argument);
        std::error_code error;
        const fs::file_status status = fs::status(path, error);
        if (error) {
            result_.errors.append(CannotRead(argument, error));
            return;
        }
        if (fs::is_directory(status)) {
            std::vector<FoundFile> found;
            walkFolder(path, found);
            std::sort(found.begin(), found.end(),
                [](const FoundFile &a, const FoundFile &b) { return a.shown < b.shown; });
            for (FoundFile &file : found) {
                const fs::path reached = ToPath(file.shown);
                add(std::move(file), reached);
            }
            return;
        }
        if (!fs::is_regular_file(status)) {
            result_.errors.append(QStringLiteral("«%1»: это не файл и не папка").arg(argument));
            return;
        }
        add(FoundFile { argument }, path);
    }

private:
    // Links to folders are not followed, so a link cannot make the walk go round in a
    // circle; links to files are taken like the files.
    void walkFolder(const fs::path &root, std::vector<FoundFile> &found)
    {
        std::error_code error;
        fs::recursive_directory_iterator it(root, fs::directory_options::none, error);
        if (error) {
            result_.errors.append(CannotRead(FromPath(root), error));
            return;
        }
        for (const fs::recursive_directory_iterator end; it != end;) {
            const fs::directory_entry &entry = *it;
            std::error_code typeError;
            if (!entry.is_directory(typeError) && IsLentarName(entry.path().filename())
                && entry.is_regular_file(typeError)) {
                found.push_back(FoundFile { FromPath(entry.path()) });
            }
            it.increment(error);
            if (error) {
                // The iterator stops at a folder it cannot open; note it and go on with
                // the rest of the tree.
                result_.errors.append(CannotRead(FromPath(it == end ? root : it->path()), error));
                error.clear();
                if (it != end) {
                    it.disable_recursion_pending();
                    it.increment(error);
                    if (error) {
                        result_.errors.append(CannotRead(FromPath(root), error));
                        return;
                    }
                }
            }
        }
    }

    // Every name a file is reached by leads to the same canonical path.
    void add(FoundFile file, const fs::path &path)
    {
        std::error_code error;
        fs::path real = fs::canonical(path, error);
        if (error)
            real = fs::absolute(path, error);
        if (seen_.insert(real.string()).second)
            result_.files.push_back(std::move(file));
    }

    WalkResult &result_;
    std::unordered_set<std::string> seen_;
};

} // namespace

WalkResult CollectLentarFiles(const QStringList &paths)
{
    WalkResult result;
    Walker walker(result);
    for (const QString &path : paths)
        walker.take(path);
    return result;
}
