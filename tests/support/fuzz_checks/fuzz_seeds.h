#pragma once

// Seed corpora for the fuzzers, made on the spot by the tests' own generators: every
// run starts from inputs that reach deep into the code instead of from random bytes.

#include <QByteArray>
#include <QList>
#include <QString>

struct FuzzSeed
{
    QString name;
    QByteArray bytes;
};

QList<FuzzSeed> Base64Seeds();
QList<FuzzSeed> ParticipantIdSeeds();
QList<FuzzSeed> LentarWriterSeeds();
QList<FuzzSeed> LentarReaderSeeds();
QList<FuzzSeed> PictureSeeds();
