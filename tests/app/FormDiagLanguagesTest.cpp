// One language at a time: every window and dialog the main window opens, in English and in
// Chinese, shows no text of the other script. The frame's own data (the status fields) and the
// language selector's names are left out; everything else a technician reads is gathered, hidden
// controls included, since they show later.
#include <QAbstractButton>
#include <QApplication>
#include <QChartView>
#include <QDateTime>
#include <QHeaderView>
#include <QLegendMarker>
#include <QMenu>
#include <QTableWidget>
#include <QAbstractAxis>

#include <map>

#include "app/FormHistory.h"
#include "calibration/LayoutFile.h"
#include "i18n/TextKeys.h"
#include "calibration/MultiAreaLayout.h"
#include "results/DatabaseUrl.h"
#include "results/ResultStore.h"
#include "tests/support/FormDiagFixture.h"
#include "tests/support/LineRecords.h"

namespace oculant {
namespace {

using namespace formdiagtest;

// The texts a window shows, each with where it comes from.
struct Shown {
    std::vector<std::pair<QString, QString>> texts;  // where, text
    std::vector<std::string> mnemonicFaults;         // a button shown without a key of its own
    int buttonsShown = 0;
    void add(const QString& where, const QString& text)
    {
        if (!text.trimmed().isEmpty())
            texts.emplace_back(where, text);
    }
};

void gatherActions(Shown& out, const QString& where, const QList<QAction*>& actions)
{
    for (QAction* a : actions) {
        out.add(where + "/action " + a->objectName(), a->text());
        out.add(where + "/action tip " + a->objectName(), a->toolTip() == a->text().remove('&') ? QString() : a->toolTip());
        if (a->menu()) {
            out.add(where + "/menu " + a->menu()->objectName(), a->menu()->title());
            gatherActions(out, where + "/" + a->menu()->objectName(), a->menu()->actions());
        }
    }
}

// Every button a window shows has its own Alt key: one "&" before a letter no other button of
// the window uses.
void checkMnemonics(Shown& out, QWidget* window)
{
    std::map<QChar, QString> taken;
    for (QPushButton* b : window->findChildren<QPushButton*>()) {
        if (b->window() != window || !b->isVisibleTo(window))
            continue;
        ++out.buttonsShown;
        const QString where = window->objectName() + "/" + b->objectName() + " \"" + b->text() + "\"";
        const qsizetype at = QString(b->text()).replace("&&", "__").indexOf('&');
        if (at < 0 || at + 1 >= b->text().size()) {
            out.mnemonicFaults.push_back(where.toStdString() + ": no mnemonic");
            continue;
        }
        const QChar key = b->text()[at + 1].toUpper();
        if (taken.count(key))
            out.mnemonicFaults.push_back(where.toStdString() + ": Alt+" + QString(key).toStdString() + " also " +
                                         taken[key].toStdString());
        taken[key] = where;
    }
}

void gather(Shown& out, QWidget* window)
{
    const QString top = window->objectName();
    out.add(top + "/title", window->windowTitle());
    checkMnemonics(out, window);
    std::vector<QWidget*> widgets{window};
    for (QWidget* w : window->findChildren<QWidget*>())
        if (w->window() == window)
            widgets.push_back(w);
    for (QWidget* w : widgets) {
        const QString where = top + "/" + w->objectName() + "(" + w->metaObject()->className() + ")";
        out.add(where + " tip", w->toolTip());
        if (auto* l = qobject_cast<QLabel*>(w))
            out.add(where, l->text());
        else if (auto* b = qobject_cast<QAbstractButton*>(w))
            out.add(where, b->text());
        else if (auto* g = qobject_cast<QGroupBox*>(w))
            out.add(where, g->title());
        else if (auto* c = qobject_cast<QComboBox*>(w)) {
            // Names, not texts: the languages, the frames' paths, the stations after "all".
            const QString name = c->objectName();
            const int texts = name == "ComboBoxLan" || name == "ComboBox1" ? 0 : name == "ComboStation" ? 1 : c->count();
            for (int i = 0; i < std::min(texts, c->count()); ++i)
                out.add(where, c->itemText(i));
        } else if (auto* t = qobject_cast<QTableWidget*>(w)) {
            for (int i = 0; i < t->columnCount(); ++i)
                if (t->horizontalHeaderItem(i))
                    out.add(where + " header", t->horizontalHeaderItem(i)->text());
        } else if (auto* s = qobject_cast<QStatusBar*>(w)) {
            out.add(where, s->currentMessage());
        } else if (auto* v = qobject_cast<QChartView*>(w); v && v->chart()) {
            out.add(where + " chart", v->chart()->title());
            for (QAbstractAxis* axis : v->chart()->axes())
                out.add(where + " axis", axis->titleText());
            for (QLegendMarker* m : v->chart()->legend()->markers())
                out.add(where + " legend", m->label());
        } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
            out.add(where + " placeholder", e->placeholderText());
        }
        gatherActions(out, where, w->actions());
    }
}

bool isHan(QChar c)
{
    const ushort u = c.unicode();
    return (u >= 0x2E80 && u <= 0x9FFF) || (u >= 0xFF00 && u <= 0xFFEF);
}

// English: no Chinese character. Chinese: no English word, where a word is three or more Latin
// letters and not one of the names and units both languages write the same.
QString otherScript(const QString& text, bool chinese)
{
    if (!chinese) {
        for (QChar c : text)
            if (isHan(c))
                return text;
        return {};
    }
    static const QStringList kSame{"mm", "px", "CRC", "USB", "HID", "Oculant", "MIT", "ID", "PASS", "FAIL",
                                   "ERROR", "JSON", "CSV", "HTML", "PNG", "SQLite", "PostgreSQL", "hidraw", "URL",
                                   "GDI", "Mac", "Esc"};
    static const QRegularExpression word("[A-Za-z]{3,}");
    for (auto it = word.globalMatch(text); it.hasNext();) {
        const QString w = it.next().captured();
        if (!kSame.contains(w))
            return w;
    }
    return {};
}

class FormDiagLanguages : public FormDiagFixture, public ::testing::WithParamInterface<const char*> {
protected:
    bool chinese() const { return std::string_view(GetParam()) == "中文简体"; }

    void check(const Shown& shown)
    {
        for (const auto& [where, text] : shown.texts) {
            // The frame's path is a name, not a text.
            const QString bad = otherScript(QString(text).replace(QString::fromStdString(path), "/"), chinese());
            EXPECT_TRUE(bad.isEmpty()) << GetParam() << ": " << where.toStdString() << " shows \""
                                       << text.toStdString() << "\" (" << bad.toStdString() << ")";
        }
        for (const std::string& fault : shown.mnemonicFaults)
            ADD_FAILURE() << GetParam() << ": " << fault;
    }
};

TEST_P(FormDiagLanguages, every_window_and_dialog_speaks_the_chosen_language_only)
{
    withVirtualFrameMenu = true;
    attach();
    start();
    form->ComboBoxLan->setCurrentIndex(form->ComboBoxLan->findText(GetParam()));
    form->ComboBoxLanChange(true);
    connectAndRead();
    Shown shown;
    // The controls whose caption does not say all keep their tool tips once connected.
    for (const textkeys::WindowText& t : textkeys::kAddedTexts) {
        if (!t.toolTip || t.window != textkeys::kMainWindow)
            continue;
        const auto* w = form->findChild<QWidget*>(QString::fromUtf8(t.control.data(), qsizetype(t.control.size())));
        ASSERT_NE(w, nullptr) << t.control;
        EXPECT_EQ(w->toolTip(), shipped(GetParam(), t.text.key)) << t.control;
    }

    // The windows the main window opens, each as the technician opens it.
    form->whileOpen = [&] {
        QDialog* opened = form->opened.back();
        opened->show();
        QApplication::processEvents();
        gather(shown, opened);
        opened->hide();
    };
    form->Button1->click();   // diagnostic
    form->Button2->click();   // draw test
    form->Button3->click();   // signal view
    form->Button11->click();  // calibration capture (closed at once: cancelled)
    form->Button12->click();  // multi-area
    EXPECT_GE(form->opened.size(), 4u);
    gather(shown, &signal);  // the signal view is not modal
    // History with a record of this frame, stored today, so the table and the line figures show.
    {
        std::string error;
        auto results = results::ResultStore::open(*results::parseDatabaseUrl(results::defaultDatabaseUrl()), error);
        ASSERT_TRUE(results) << error;
        station::TestRecord r = test::LineRecords({}).take(1).front();
        r.serial = form->EditSerialNum->text().toStdString();
        r.started = QDateTime::currentDateTimeUtc().toString("yyyy-MM-ddTHH:mm:ss.zzzZ").toStdString();
        ASSERT_TRUE(results->write(r, error)) << error;
    }
    ASSERT_TRUE(form->ButtonHistory->isEnabled());
    form->ButtonHistory->click();
    auto* history = form->findChild<TFormHistory*>();
    ASSERT_NE(history, nullptr);
    EXPECT_EQ(history->TableRecords->rowCount(), 1);
    gather(shown, history);
    history->close();

    // The questions and messages: Reset asked and refused, About, a language file's message.
    form->answer = false;
    form->Button10->click();
    form->findChild<QAction*>("MenuAbout")->trigger();
    gather(shown, form.get());
    for (const QString& q : form->questions)
        shown.add("question", q);
    for (const QString& m : form->messages)
        shown.add("message", m);
    EXPECT_FALSE(form->questions.empty());
    EXPECT_FALSE(form->messages.empty());
    EXPECT_GE(shown.buttonsShown, 20);
    check(shown);
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, FormDiagLanguages, ::testing::Values("English", "中文简体"),
                         [](const auto& info) { return std::string(info.index == 0 ? "English" : "Chinese"); });

}  // namespace
}  // namespace oculant
