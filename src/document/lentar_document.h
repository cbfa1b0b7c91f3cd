#pragma once

// The lentar being edited: a plain record of values, the festival's subject
// catalogue, the writer that turns the record into a lentar file, and the check that
// runs before a save.

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>

struct Participant
{
    QString id; // formatted identifier, XXX-XXX-XXX
    QString surname;
    QString name;
    QString patronymic;

    friend bool operator==(const Participant &, const Participant &) = default;
};

struct WorkImage
{
    bool present = false;
    QByteArray base64; // lines of 76 characters, each ended by a line feed
    int width = 300;
    int height = 300;
    QString caption;

    friend bool operator==(const WorkImage &, const WorkImage &) = default;
};

inline constexpr int kSeason = 8; // 2010/2011
inline constexpr int kMaxAuthors = 10;
inline constexpr int kMaxLeaders = 3;
inline constexpr int kSubjectSlots = 5;

struct LentarDocument
{
    QString title;
    QString description; // multi-line fields hold CR LF line breaks
    QString techRequest;
    QString manual;
    std::array<int, kSubjectSlots> subjectSlots {}; // sb_id values, 0 for empty
    QList<Participant> authors; // only the participants in use
    QList<Participant> leaders;
    int invoiceLeader = -1;
    QString publicPostIndex;
    QString publicPostAddress;
    QString publicPhone;
    QString publicEmail;
    WorkImage picture;
    QString notes;
    int season = kSeason;

    friend bool operator==(const LentarDocument &, const LentarDocument &) = default;
};

// Field limits, counted in characters with a line break as two.
namespace Limits {
inline constexpr int title = 250;
inline constexpr int description = 500;
inline constexpr int techRequest = 250;
inline constexpr int manual = 500;
inline constexpr int publicPostIndex = 10;
inline constexpr int publicPostAddress = 250;
inline constexpr int publicPhone = 150;
inline constexpr int publicEmail = 150;
inline constexpr int notes = 2000;
inline constexpr int personName = 50;
} // namespace Limits

// Removes all leading and trailing characters of code 32 and below.
QString TrimControls(const QString &text);

// The text with every character Windows-1251 lacks replaced by "?" (an unpaired
// surrogate counts as one such character).
QString ReduceToCp1251(const QString &text);
