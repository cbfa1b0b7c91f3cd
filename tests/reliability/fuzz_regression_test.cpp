#include "fuzz_checks.h"
#include "fuzz_seeds.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

// Every fuzzer's property, held over its seed corpus and over the inputs that once
// broke it, so that a finding stays fixed in the ordinary and the sanitizer build
// without a fuzzer at hand.
class FuzzRegressionTest : public QObject
{
    Q_OBJECT

private slots:
    void inputs_data();
    void inputs();
};

namespace {

// The inputs kept from earlier findings: fuzz_regressions/<target>/<file>.
QList<FuzzSeed> Regressions(const char *target)
{
    QList<FuzzSeed> found;
    const QDir folder(QStringLiteral(LENTAR_FUZZ_REGRESSIONS "/") + QLatin1StringView(target));
    for (const QFileInfo &entry : folder.entryInfoList(QDir::Files | QDir::Hidden, QDir::Name)) {
        QFile file(entry.filePath());
        if (file.open(QIODevice::ReadOnly))
            found.append({ entry.fileName(), file.readAll() });
    }
    return found;
}

} // namespace

void FuzzRegressionTest::inputs_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QByteArray>("input");
    const QList<std::pair<const char *, QList<FuzzSeed>>> corpora {
        { "base64", Base64Seeds() },
        { "participant_id", ParticipantIdSeeds() },
        { "lentar_writer", LentarWriterSeeds() },
        { "lentar_reader", LentarReaderSeeds() },
        { "picture", PictureSeeds() },
    };
    for (const auto &[target, seeds] : corpora) {
        for (const FuzzSeed &seed : seeds)
            QTest::addRow("%s/seed/%s", target, qPrintable(seed.name))
                << QString::fromLatin1(target) << seed.bytes;
        for (const FuzzSeed &kept : Regressions(target))
            QTest::addRow("%s/regression/%s", target, qPrintable(kept.name))
                << QString::fromLatin1(target) << kept.bytes;
    }
}

void FuzzRegressionTest::inputs()
{
    QFETCH(QString, target);
    QFETCH(QByteArray, input);
    const std::string_view bytes(input.constData(), std::size_t(input.size()));
    std::string problem;
    if (target == u"base64") {
        problem = FuzzBase64(bytes);
    } else if (target == u"participant_id") {
        problem = FuzzParticipantId(bytes);
    } else if (target == u"lentar_writer") {
        problem = FuzzLentarWriter(bytes);
    } else if (target == u"lentar_reader") {
        problem = FuzzLentarReader(bytes);
    } else {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        problem = FuzzPictureImport(bytes, folder.path());
    }
    QVERIFY2(problem.empty(), problem.c_str());
}

QTEST_GUILESS_MAIN(FuzzRegressionTest)
#include "fuzz_regression_test.moc"
