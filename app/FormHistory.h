#pragma once
// The History dialog of the main window: the connected frame's test records from the default
// results database, newest first, with the outcome of each phase.

#include <QDialog>

#include <string>
#include <vector>

#include "station/TestRecord.h"

class QLabel;
class QTableWidget;

class TFormHistory : public QDialog {
    Q_OBJECT
public:
    explicit TFormHistory(QWidget* parent = nullptr);

    // Reads the records of `serial` from the database; the dialog says so when there are none
    // or the database cannot be read.
    void load(const std::string& serial, const std::string& databaseUrl);
    void show(const std::string& serial, const std::vector<oculant::station::TestRecord>& records);

    QLabel* LabelTitle;
    QTableWidget* TableRecords;
};
