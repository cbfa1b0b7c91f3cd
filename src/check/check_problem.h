#pragma once

#include <QList>
#include <QString>

// One remark about one file: a stable code for scripts and a Russian message for people.
// Every message of lentar-check reads as the rest of a line that begins with a name and
// a colon ("work.lnr.xml: ...", "lentar-check: ..."): it starts with a small letter and
// has no full stop at its end.
struct CheckProblem
{
    QString code;
    QString message;

    friend bool operator==(const CheckProblem &, const CheckProblem &) = default;
};

using CheckProblems = QList<CheckProblem>;
