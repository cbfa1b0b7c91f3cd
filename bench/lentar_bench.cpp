// What users feel, measured next to references run in the same process at the same
// time: the picture import against libjpeg's own full and eighth-size decodes of the
// same file, save and preview of a full lentar against plain writes of their files,
// the start-up against a minimal Qt Widgets program, and our codecs against Qt's.
// scripts/bench.sh runs it and turns the results into docs/performance.md's table.

#include "bench_photo.h"
#include "bench_process.h"

#include "codec/base64.h"
#include "codec/participant_id.h"
#include "document/lentar_reader.h"
#include "document/lentar_xml.h"
#include "output/page_render.h"
#include "output/preview_command.h"
#include "output/preview_xslt.h"
#include "output/save_command.h"
#include "picture/jpeg_codec.h"
#include "picture/picture_import.h"
#include "platform/files.h"
#include "scripted_platform.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

using Clock = std::chrono::steady_clock;

QString g_folder; // ends with "/"

QString TempPath(const QString &name)
{
    return g_folder + name;
}

std::string Utf8(const QString &text)
{
    return text.toStdString();
}

double Seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// Waits, untimed, until the files an iteration wrote are on the disk. A user acts
// seconds apart, by which time the system has long written them out; back to back,
// replacing a file whose data is still being written out waits for that write, and
// on our shared disk that costs more than the whole command.
void SettleOnDisk(const QStringList &paths)
{
    for (const QString &path : paths) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            ::fdatasync(fd);
            ::close(fd);
        }
    }
}

void Fail(benchmark::State &state, const std::string &message)
{
    state.SkipWithError(message.c_str());
}

// Besides the median, the fastest repetition: on a shared machine other people's work
// only ever adds time, so the least disturbed repetition is the truest figure.
double Fastest(const std::vector<double> &values)
{
    return values.empty() ? 0.0 : *std::min_element(values.begin(), values.end());
}

// Every time is wall-clock time in milliseconds: that is what a user waits for.
using Benchmark = benchmark::internal::Benchmark;
template<typename... Args> Benchmark *Wall(const std::string &name, Args &&...args)
{
    return benchmark::RegisterBenchmark(name.c_str(), std::forward<Args>(args)...)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->ComputeStatistics("min", Fastest);
}
// The time comes from the benchmark itself (a child process, or part of a call).
template<typename... Args> Benchmark *Manual(const std::string &name, Args &&...args)
{
    return benchmark::RegisterBenchmark(name.c_str(), std::forward<Args>(args)...)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->ComputeStatistics("min", Fastest);
}

struct PhotoCase
{
    std::string label; // "24MP_baseline"
    QString path;
};

struct PhotoSize
{
    const char *name;
    int width;
    int height;
};

// Camera photographs of 2, 12 and 24 megapixels, 3:2 like most camera sensors, at
// quality 90, baseline and progressive.
constexpr PhotoSize kPhotoSizes[] = {
    { "2MP", 1728, 1152 },
    { "12MP", 4240, 2832 },
    { "24MP", 6000, 4000 },
};

std::vector<PhotoCase> MakePhotos()
{
    std::vector<PhotoCase> cases;
    unsigned seed = 1;
    for (const PhotoSize &size : kPhotoSizes) {
        const std::vector<unsigned char> rgb = PhotoLikeRgb(size.width, size.height, seed++);
        for (const bool progressive : { false, true }) {
            const QByteArray jpeg = EncodePhotoJpeg(rgb, size.width, size.height, 90, progressive);
            PhotoCase c;
            c.label = std::string(size.name) + (progressive ? "_progressive" : "_baseline");
            c.path = TempPath(QString::fromStdString(c.label) + u".jpg"_s);
            QFile file(c.path);
            if (!file.open(QIODevice::WriteOnly) || file.write(jpeg) != jpeg.size())
                throw std::runtime_error("cannot write " + Utf8(c.path));
            file.close();
            // Left to the system, writing out these megabytes would hold up the
            // flushes of the save benchmark later.
            SettleOnDisk({ c.path });
            std::fprintf(stderr, "%s: %d x %d, %lld bytes, %.2f bits a pixel\n", c.label.c_str(),
                size.width, size.height, static_cast<long long>(jpeg.size()),
                8.0 * double(jpeg.size()) / (double(size.width) * double(size.height)));
            cases.push_back(c);
        }
    }
    return cases;
}

void FullDecode(benchmark::State &state, QString path)
{
    ReferenceDecode decoded;
    for (auto _ : state)
        benchmark::DoNotOptimize((decoded = DecodeReference(path, 1)).checksum);
    // For the table: what was decoded.
    state.counters["megapixels"] = double(decoded.width) * double(decoded.height) / 1e6;
    state.counters["file_MB"] = double(QFileInfo(path).size()) / 1e6;
}

void EighthDecode(benchmark::State &state, QString path)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(DecodeReference(path, 8).checksum);
}

// The import's own decode alone, to tell it apart from the rest of the import.
void ImportDecode(benchmark::State &state, QString path)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(DecodeScaledJpegFile(path).image.rgb.data());
}

void Import(benchmark::State &state, QString path)
{
    const QString folder = TempPath(u"import/"_s);
    QDir().mkpath(folder);
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        benchmark::DoNotOptimize(ImportPicture(path, folder).base64.size());
        state.SetIterationTime(Seconds(Clock::now() - start));
        SettleOnDisk({ folder + QString::fromLatin1(kPictureFileName) });
    }
}

// Peak memory above idle, in a fresh process for each measurement.
void PeakMemory(benchmark::State &state, QString path, std::string mode)
{
    const QString folder = TempPath(u"import/"_s);
    QDir().mkpath(folder);
    double above = 0;
    for (auto _ : state) {
        const ChildRun run = RunChild({ LENTAR_MEMORY_PROBE, mode, Utf8(path), Utf8(folder) });
        if (run.exitCode != 0)
            return Fail(state, "memory probe failed: " + run.output);
        state.SetIterationTime(run.wallSeconds);
        above = std::max(above, std::stod(run.output));
    }
    state.counters["peak_above_idle_MiB"] = above / (1 << 20);
}

void RegisterPictureBenchmarks(const std::vector<PhotoCase> &photos)
{
    for (const PhotoCase &c : photos) {
        const std::string prefix = "import/" + c.label + "/";
        Wall(prefix + "full_decode", FullDecode, c.path);
        Wall(prefix + "eighth_decode", EighthDecode, c.path);
        Wall(prefix + "import_decode", ImportDecode, c.path);
        Manual(prefix + "import", Import, c.path);
    }
    for (const PhotoCase &c : photos) {
        const std::string prefix = "memory/" + c.label + "/";
        for (const char *mode : { "import", "full", "eighth" })
            Manual(prefix + mode, PeakMemory, c.path, std::string(mode))->Iterations(1);
    }
}

// unit repeated to exactly length characters.
QString Repeat(const QString &unit, int length)
{
    QString text = unit.repeated(length / int(unit.size()) + 1).left(length);
    // A line break cut in half would leave a lone CR.
    if (text.endsWith(u'\r'))
        text.back() = u'.';
    return text;
}

// Every field at its limit: 10 authors, 3 leaders, 5 subjects, a 300 x 300 picture.
LentarDocument FullLentar(const ImportedPicture &picture)
{
    const QString prose = u"Исследование «Ветер и вода» — опыты с моделью мельницы: "
                          "расход 2,5 л/с, напор < 1 м & КПД > 40 %. "_s;
    const QString lines = prose + u"\r\n"_s;
    LentarDocument doc;
    doc.title = Repeat(prose, Limits::title);
    doc.description = Repeat(lines, Limits::description);
    doc.techRequest
        = Repeat(u"Розетка 220 В, стол 1 × 2 м, проектор \"Epson\"; "_s, Limits::techRequest);
    doc.manual = Repeat(lines, Limits::manual);
    doc.subjectSlots = { 2, 5, 9, 14, 22 };
    const QString surname = Repeat(u"Константинопольская-"_s, Limits::personName);
    const QString name = Repeat(u"Александра"_s, Limits::personName);
    const QString patronymic = Repeat(u"Владимировна"_s, Limits::personName);
    auto person = [&](int n) {
        const std::string seven = std::to_string(1000000 + 7919 * n).substr(0, 7);
        const std::string id = FormatParticipantId(seven + ComputeIdCheckDigits(seven));
        return Participant { QString::fromStdString(id), surname, name, patronymic };
    };
    for (int i = 0; i < kMaxAuthors; ++i)
        doc.authors.append(person(i));
    for (int i = 0; i < kMaxLeaders; ++i)
        doc.leaders.append(person(100 + i));
    doc.invoiceLeader = 1;
    doc.publicPostIndex = Repeat(u"1234567890"_s, Limits::publicPostIndex);
    doc.publicPostAddress
        = Repeat(u"г. Новосибирск, ул. Пирогова, д. 2, кв. 15; "_s, Limits::publicPostAddress);
    doc.publicPhone = Repeat(u"+7 (383) 330-00-00, "_s, Limits::publicPhone);
    doc.publicEmail = Repeat(u"ivanova.school@example.ru, "_s, Limits::publicEmail);
    doc.picture.present = true;
    doc.picture.base64 = picture.base64;
    doc.picture.width = picture.image.width;
    doc.picture.height = picture.image.height;
    doc.picture.caption = Repeat(prose, Limits::title);
    doc.notes = Repeat(lines, Limits::notes);
    return doc;
}

LentarDocument g_lentar;

// Tells the moment the save dialog hands over the path and the moment of the
// confirmation.
class TimedPlatform : public ScriptedPlatform
{
public:
    using ScriptedPlatform::ScriptedPlatform;

    std::optional<QString> askSaveFileName(const SaveDialogSettings &settings) override
    {
        std::optional<QString> answer = ScriptedPlatform::askSaveFileName(settings);
        chosen = Clock::now();
        return answer;
    }
    MessageAnswer showMessage(const QString &text, const QString &caption, MessageIcon icon,
        MessageButtons buttons) override
    {
        // Only the confirmation counts: a question before the dialog is not the end.
        if (!confirmed && caption == u"Лентар сохранен"_s)
            confirmed = Clock::now();
        return ScriptedPlatform::showMessage(text, caption, icon, buttons);
    }

    Clock::time_point chosen;
    std::optional<Clock::time_point> confirmed;
};

void Save(benchmark::State &state)
{
    const QString folder = TempPath(u"saved/"_s);
    QDir().mkpath(folder);
    const QString path = folder + u"Лентар.lnr.xml"_s;
    for (auto _ : state) {
        TimedPlatform platform(TempPath(u"save-temp/"_s));
        platform.saveFileAnswers.enqueue(path);
        if (!SaveLentarFile(g_lentar, platform, {}).has_value() || !platform.confirmed)
            return Fail(state, "the save did not confirm");
        state.SetIterationTime(Seconds(*platform.confirmed - platform.chosen));
    }
}

// The floor under a save: its two files, their bytes ready, written the same way,
// flushed to the disk.
void SaveWriteFloor(benchmark::State &state)
{
    const QString folder = TempPath(u"floor/"_s);
    QDir().mkpath(folder);
    const QByteArray lentar = LentarFileBytes(SerializeLentar(BuildLentarXml(g_lentar, 0)));
    const QByteArray stylesheet = PreviewStylesheetBytes();
    for (auto _ : state) {
        WriteFileAtomically(folder + u"Лентар.lnr.xml"_s, lentar);
        WriteFileAtomically(folder + QString::fromUtf8(kStylesheetFileName), stylesheet);
    }
}

void Preview(benchmark::State &state)
{
    const QString folder = TempPath(u"preview/"_s);
    QDir().mkpath(folder);
    ScriptedPlatform platform(folder);
    const QStringList written = { folder + QString::fromUtf8(kPreviewDocumentName),
        folder + QString::fromUtf8(kStylesheetFileName),
        folder + QString::fromUtf8(kPreviewPageName) };
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        PreviewLentar(g_lentar, platform);
        state.SetIterationTime(Seconds(Clock::now() - start));
        if (!platform.messages.isEmpty())
            return Fail(state, "the preview complained: " + Utf8(platform.messages.front().text));
        platform.openedInBrowser.clear();
        SettleOnDisk(written);
    }
}

// The page rendering alone.
void PreviewRender(benchmark::State &state)
{
    const QByteArray document
        = PreviewFileBytes(SerializeLentar(BuildLentarXml(g_lentar, 0, LentarVariant::Preview)));
    const QByteArray stylesheet = PreviewStylesheetBytes();
    for (auto _ : state)
        benchmark::DoNotOptimize(RenderLentarPage(document, stylesheet).size());
}

// The floor under a preview: its three files, their bytes ready, written the same
// way, as working files.
void PreviewWriteFloor(benchmark::State &state)
{
    const QString folder = TempPath(u"preview-floor/"_s);
    QDir().mkpath(folder);
    const QByteArray document
        = PreviewFileBytes(SerializeLentar(BuildLentarXml(g_lentar, 0, LentarVariant::Preview)));
    const QByteArray stylesheet = PreviewStylesheetBytes();
    const QByteArray page = RenderLentarPage(document, stylesheet);
    const QList<QPair<QString, QByteArray>> files
        = { { folder + QString::fromUtf8(kPreviewDocumentName), document },
              { folder + QString::fromUtf8(kStylesheetFileName), stylesheet },
              { folder + QString::fromUtf8(kPreviewPageName), page } };
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        try {
            for (const auto &[path, bytes] : files)
                WriteFileAtomically(path, bytes, Durability::Working);
        } catch (const FileError &error) {
            return Fail(state, error.what());
        }
        state.SetIterationTime(Seconds(Clock::now() - start));
        SettleOnDisk({ files[0].first, files[1].first, files[2].first });
    }
}

// Opening the saved full lentar: reading the file and loading the record, picture
// included, as the Open command does before it fills the window.
void Open(benchmark::State &state)
{
    const QString folder = TempPath(u"opened/"_s);
    QDir().mkpath(folder);
    const QString path = folder + u"Лентар.lnr.xml"_s;
    WriteFileAtomically(path, LentarFileBytes(SerializeLentar(BuildLentarXml(g_lentar, 0))));
    for (auto _ : state) {
        const LentarReadResult read = ReadLentarFile(path);
        if (read.refused() || !read.findings.isEmpty() || read.pictureJpeg.isEmpty())
            return Fail(state, "the full lentar did not open cleanly");
        benchmark::DoNotOptimize(read.doc.title.size());
    }
}

// What a save does besides writing: building the tree and serialising it.
void SaveSerialise(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(
            LentarFileBytes(SerializeLentar(BuildLentarXml(g_lentar, 0))).size());
}

void RegisterOutputBenchmarks()
{
    const QString folder = TempPath(u"picture/"_s);
    QDir().mkpath(folder);
    const QString source = folder + u"photo300.jpg"_s;
    QFile file(source);
    const QByteArray jpeg = EncodePhotoJpeg(PhotoLikeRgb(300, 300, 99), 300, 300, 90, false);
    if (!file.open(QIODevice::WriteOnly) || file.write(jpeg) != jpeg.size())
        throw std::runtime_error("cannot write " + Utf8(source));
    file.close();
    g_lentar = FullLentar(ImportPicture(source, folder));
    std::fprintf(stderr, "full lentar: %lld bytes\n",
        static_cast<long long>(
            LentarFileBytes(SerializeLentar(BuildLentarXml(g_lentar, 0))).size()));

    Manual("save/full_lentar/save", Save);
    Wall("save/full_lentar/write_floor", SaveWriteFloor);
    Wall("open/full_lentar/open", Open);
    Wall("open/full_lentar/serialise", SaveSerialise);
    Manual("preview/full_lentar/preview", Preview);
    Wall("preview/full_lentar/render", PreviewRender);
    Manual("preview/full_lentar/write_floor", PreviewWriteFloor);
}

void StartUp(benchmark::State &state, std::string program)
{
    // A desktop session has its runtime folder; without one Qt complains on stderr.
    const QString runtime = TempPath(u"runtime"_s);
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    double rss = 0;
    for (auto _ : state) {
        const ChildRun run = RunChild(
            { program }, { "QT_QPA_PLATFORM=offscreen", "XDG_RUNTIME_DIR=" + Utf8(runtime) });
        if (run.exitCode != 0 || run.output.empty())
            return Fail(state, program + " did not show its window");
        state.SetIterationTime(run.wallSeconds);
        rss += std::stod(run.output) / 1024;
    }
    state.counters["peak_rss_MiB"] = benchmark::Counter(rss, benchmark::Counter::kAvgIterations);
}

void RegisterStartUpBenchmarks()
{
    Manual("startup/lentar", StartUp, std::string(LENTAR_STARTUP_PROBE));
    Manual("startup/reference", StartUp, std::string(LENTAR_STARTUP_REFERENCE));
}

std::string Megabyte()
{
    std::mt19937 random(42);
    std::string bytes(1 << 20, '\0');
    for (char &c : bytes)
        c = static_cast<char>(random() & 0xFF);
    return bytes;
}

// As the import uses it: a fresh buffer each time, 19 groups a line.
void Base64Ours(benchmark::State &state)
{
    const std::string data = Megabyte();
    const int count = int(data.size());
    for (auto _ : state) {
        QByteArray text(Base64EncodedSize(count, 19), Qt::Uninitialized);
        text.truncate(Base64Encode(
            reinterpret_cast<const unsigned char *>(data.data()), text.data(), count, 19));
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(data.size()));
}

void Base64Qt(benchmark::State &state)
{
    const QByteArray data = QByteArray::fromStdString(Megabyte());
    for (auto _ : state)
        benchmark::DoNotOptimize(data.toBase64());
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(data.size()));
}

void RegisterCodecBenchmarks()
{
    Wall("codec/base64/ours", Base64Ours);
    Wall("codec/base64/qt", Base64Qt);
}

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    // Every file goes where the program's own working files go: the temporary folder.
    QTemporaryDir dir(QDir::tempPath() + u"/lentar-bench-XXXXXX"_s);
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        return 1;
    }
    g_folder = dir.path() + u'/';
    try {
        RegisterPictureBenchmarks(MakePhotos());
        RegisterOutputBenchmarks();
        RegisterStartUpBenchmarks();
        RegisterCodecBenchmarks();
    } catch (const std::exception &error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
