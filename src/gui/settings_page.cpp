#include "gui/settings_page.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/active_mode.h"
#include "app/main_commands.h"
#include "gui/gui_text.h"
#include "gui/page_host.h"
#include "gui/pane_splitter.h"

namespace mizuto {
namespace {

// The check boxes that mirror an action: object name, action, y.
struct SwitchBox {
  const char* Name;
  const char* ActionName;
  int Y;
};
constexpr SwitchBox kSwitchBoxes[] = {
    {"CriCheck", "CriticalView", 40},        {"WaterCheck", "WaterView", 56},
    {"SailCheck", "SailView", 72},      {"RudderCheck", "RudderView", 88},
    {"ConfuseCheck", "ConfuseView", 104}, {"SayCheck", "SayView", 136},
    {"PartyCheck", "PartyView", 152},   {"CompanyCheck", "CompanyView", 168},
    {"RoomCheck1", "Room1View", 184},   {"RoomCheck2", "Room2View", 200},
    {"RoomCheck3", "Room3View", 216},   {"TellCheck", "TellView", 232},
    {"DebugCheck", "DebugView", 264},
};

// A caption without the menu's access key "(&C)": the page's boxes are reached with Tab, and
// the keys of several menus would clash on one page.
QString WithoutAccessKey(QString caption) {
  static const QRegularExpression key(QStringLiteral("\\(&.\\)"));
  return caption.remove(key);
}

void BindCheckBox(QCheckBox* box, QAction* action) {
  box->setText(WithoutAccessKey(action->text()));
  box->setChecked(action->isChecked());
  QObject::connect(box, &QCheckBox::clicked, action, [action, box](bool) {
    action->trigger();
    box->setChecked(action->isChecked());
  });
  QObject::connect(action, &QAction::changed, box, [action, box] {
    if (box->isChecked() != action->isChecked()) box->setChecked(action->isChecked());
    box->setEnabled(action->isEnabled());
  });
}

}  // namespace

SettingsPage::SettingsPage(App& app, PageHost& host) : app_(app), host_(host) {
  setObjectName(QStringLiteral("settingsPage"));
  BuildCheckLists();
  QWidget* switchPanel = BuildSwitchPanel();
  BuildActiveModePanel(switchPanel);

  // The check lists keep their widths in the settings.
  splitter_ = new PaneSplitter("settingsSplitter", Qt::Horizontal);
  splitter_->AddDocked(skillChecks_, PaneSplitter::Edge::Leading, &app_.Geometry.SkillListWidth);
  splitter_->AddDocked(itemChecks_, PaneSplitter::Edge::Leading, &app_.Geometry.ItemListWidth);
  splitter_->AddFilling(switchPanel);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(splitter_);
}

void SettingsPage::BuildCheckLists() {
  skillChecks_ = new QListWidget;
  skillChecks_->setObjectName(QStringLiteral("skillChecks"));
  skillChecks_->setUniformItemSizes(true);
  itemChecks_ = new QListWidget;
  itemChecks_->setObjectName(QStringLiteral("itemChecks"));
  itemChecks_->setUniformItemSizes(true);
  // A toggled check mark goes to the list's own command (skills or items).
  auto forwardChecks = [this](QListWidget* list, void (*command)(App&, int, bool)) {
    connect(list, &QListWidget::itemChanged, this, [this, list, command](QListWidgetItem* item) {
      const int row = list->row(item);
      const bool checked = item->checkState() == Qt::Checked;
      host_.RunCommand([&] { command(app_, row, checked); });
      host_.SyncAll();
    });
  };
  forwardChecks(skillChecks_, &ToggleSkillColumn);
  forwardChecks(itemChecks_, &ToggleItemColumn);
}

QWidget* SettingsPage::BuildSwitchPanel() {
  auto* switchPanel = new QWidget;
  switchPanel->setObjectName(QStringLiteral("switchPanel"));
  switchPanel->setMinimumWidth(200);
  npcCheck_ = new QCheckBox(QStringLiteral("NPCとの戦闘を含める"), switchPanel);
  npcCheck_->setObjectName(QStringLiteral("NPCCheck"));
  npcCheck_->setGeometry(8, 8, 185, 17);
  connect(npcCheck_, &QCheckBox::clicked, this, [this](bool checked) {
    host_.RunCommand([&] { NPCCheckClick(app_, checked); });
    host_.SyncAll();
  });
  for (const SwitchBox& s : kSwitchBoxes) {
    auto* box = new QCheckBox(switchPanel);
    box->setObjectName(QLatin1String(s.Name));
    box->setGeometry(8, s.Y, 185, 17);
  }
  return switchPanel;
}

void SettingsPage::BuildActiveModePanel(QWidget* switchPanel) {
  auto* activeModePanel = new QWidget(switchPanel);
  activeModePanel->setObjectName(QStringLiteral("activeModePanel"));
  activeModePanel->setGeometry(8, 280, 185, 65);
  auto* activeModeBox = new QCheckBox(activeModePanel);
  activeModeBox->setObjectName(QStringLiteral("activeModeBox"));
  activeModeBox->setGeometry(0, 0, 185, 17);
  intervalField_ = new QLineEdit(QStringLiteral("10"), activeModePanel);
  intervalField_->setObjectName(QStringLiteral("intervalField"));
  intervalField_->setGeometry(0, 22, 45, 21);
  auto* intervalSpin = new QWidget(activeModePanel);
  intervalSpin->setObjectName(QStringLiteral("intervalSpin"));
  intervalSpin->setGeometry(45, 22, 16, 21);
  auto* up = new QToolButton(intervalSpin);
  up->setObjectName(QStringLiteral("intervalUp"));
  up->setArrowType(Qt::UpArrow);
  up->setAutoRepeat(true);
  up->setGeometry(0, 0, 16, 10);
  auto* down = new QToolButton(intervalSpin);
  down->setObjectName(QStringLiteral("intervalDown"));
  down->setArrowType(Qt::DownArrow);
  down->setAutoRepeat(true);
  down->setGeometry(0, 11, 16, 10);
  auto* seconds = new QLabel(QStringLiteral("秒"), activeModePanel);
  seconds->setGeometry(66, 22, 40, 21);
  connect(intervalField_, &QLineEdit::textChanged, this, [this](const QString& t) { OnIntervalText(t); });
  connect(intervalField_, &QLineEdit::editingFinished, this, [this] { OnIntervalEditingFinished(); });
  connect(up, &QToolButton::clicked, this, [this] { StepInterval(1); });
  connect(down, &QToolButton::clicked, this, [this] { StepInterval(-1); });
}

void SettingsPage::BindSwitches(const std::function<QAction*(const char*)>& action) {
  for (const SwitchBox& s : kSwitchBoxes) {
    BindCheckBox(findChild<QCheckBox*>(QLatin1String(s.Name)), action(s.ActionName));
  }
  BindCheckBox(findChild<QCheckBox*>(QStringLiteral("activeModeBox")), action("ActiveMode"));
}

void SettingsPage::Refit() { splitter_->Refit(); }

void SettingsPage::FillCheckLists() {
  auto fill = [](QListWidget* list, const std::vector<std::string>& names,
                 const std::vector<char>& marks) {
    // The marks come from the core: the list does not report them back.
    const QSignalBlocker quiet(list);
    list->clear();
    for (std::size_t i = 0; i < names.size(); ++i) {
      auto* item = new QListWidgetItem(ToQt(names[i]), list);
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
      item->setCheckState(i < marks.size() && marks[i] ? Qt::Checked : Qt::Unchecked);
    }
  };
  fill(skillChecks_, app_.Lists.SkillNames, app_.SkillChecked);
  fill(itemChecks_, app_.Lists.ItemNames, app_.ItemChecked);
}

void SettingsPage::Sync() {
  const QString text = ToQt(app_.IntervalText);
  if (intervalField_->text() != text) {
    const QSignalBlocker quiet(intervalField_);
    intervalField_->setText(text);
  }
  if (npcCheck_->isChecked() != app_.NpcCheck) npcCheck_->setChecked(app_.NpcCheck);
}

namespace {

// A number typed through the input method comes in full-width digits ("１５"): the
// compatibility form reads it as the plain number it is.
QString PlainNumberText(const QString& text) {
  return text.normalized(QString::NormalizationForm_KC);
}

}  // namespace

// Each text the player types that is a number sets the interval at once; one that is not
// (an emptied field, a stray letter) is left alone until the editing ends, where it is said.
void SettingsPage::OnIntervalText(const QString& text) {
  bool valid = false;
  host_.RunCommand([&] { valid = SetIntervalText(app_, FromQt(PlainNumberText(text))); });
  if (!valid) return;
  // A clamped value, leading zeros or full-width digits are written back as the number.
  const QString shown = ToQt(app_.IntervalText);
  if (shown != text) {
    const QSignalBlocker quiet(intervalField_);
    intervalField_->setText(shown);
  }
  host_.SyncTimer();
}

// Enter, or the focus leaving the field. A text that is still not a number gives the field
// back the interval in force first, so the message box taking the focus ends no second edit.
void SettingsPage::OnIntervalEditingFinished() {
  const QString text = intervalField_->text();
  const QString inForce = ToQt(app_.IntervalText);
  if (text == inForce) return;
  {
    const QSignalBlocker quiet(intervalField_);
    intervalField_->setText(inForce);
  }
  host_.ShowError(QStringLiteral("'%1' は 1 から 100 までの秒数ではありません。")
                      .arg(text));
}

void SettingsPage::StepInterval(int delta) {
  bool ok = false;
  int value = ToQt(app_.IntervalText).toInt(&ok);
  if (!ok) value = 10;
  value = std::clamp(value + delta, 1, 100);
  intervalField_->setText(QString::number(value));
}

}  // namespace mizuto
