#pragma once

#include <QList>
#include <QString>

// One remark about one file: a stable code for scripts and a Russian message for people.
struct CheckProblem
{
    QString code;
    QString message;

    friend bool operator==(const CheckProblem &, const CheckProblem &) = default;
};

using CheckProblems = QList<CheckProblem>;
