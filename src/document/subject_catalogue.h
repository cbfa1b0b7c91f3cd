#pragma once

#include <QList>
#include <QString>

enum class SubjectGroup { Research, Other, Additional };

struct Subject
{
    int sb_id;
    QString caption; // as the main window and the page show it
    QString dialogCaption; // as the subject dialog shows it
    SubjectGroup group;
};

namespace SubjectCatalogue {
// The 23 subjects in catalogue order (1 to 22, then 24).
const QList<Subject> &all();
// Main-window caption of sb_id; empty for 0, 23 and anything outside the catalogue.
QString caption(int sb_id);
// Frame caption of a group in the subject dialog.
QString groupCaption(SubjectGroup group);
} // namespace SubjectCatalogue
