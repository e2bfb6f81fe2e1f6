#include "gui/settings/settings_page.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QHBoxLayout>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/commands/active_mode.h"
#include "app/parts/interval_rule.h"
#include "app/commands/main_commands.h"
#include "gui/widgets/gui_text.h"
#include "gui/widgets/page_host.h"
#include "gui/widgets/pane_splitter.h"

namespace mizuto {
namespace {

// The check boxes that mirror an action, top to bottom: object name, action, and whether a
// gap sets the box apart from the one above (the transcript's parts, its chat channels, the
// debug lines).
struct SwitchBox {
  const char* Name;
  const char* ActionName;
  bool GapBefore = false;
};
constexpr SwitchBox kSwitchBoxes[] = {
    {"CriCheck", "CriticalView", true}, {"WaterCheck", "WaterView"},
    {"SailCheck", "SailView"},          {"RudderCheck", "RudderView"},
    {"ConfuseCheck", "ConfuseView"},    {"SayCheck", "SayView", true},
    {"PartyCheck", "PartyView"},        {"CompanyCheck", "CompanyView"},
    {"RoomCheck1", "Room1View"},        {"RoomCheck2", "Room2View"},
    {"RoomCheck3", "Room3View"},        {"TellCheck", "TellView"},
    {"DebugCheck", "DebugView", true},
};
// The space between two groups of boxes, and around the panel, in the font's line heights.
constexpr double kGroupGapLines = 1.0;

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
  auto* column = new QVBoxLayout(switchPanel);
  const int gap = static_cast<int>(switchPanel->fontMetrics().height() * kGroupGapLines);
  column->setSpacing(0);
  npcCheck_ = new QCheckBox(QStringLiteral("NPCとの戦闘を含める"));
  npcCheck_->setObjectName(QStringLiteral("NPCCheck"));
  column->addWidget(npcCheck_);
  connect(npcCheck_, &QCheckBox::clicked, this, [this](bool checked) {
    host_.RunCommand([&] { NPCCheckClick(app_, checked); });
    host_.SyncAll();
  });
  for (const SwitchBox& s : kSwitchBoxes) {
    if (s.GapBefore) column->addSpacing(gap);
    auto* box = new QCheckBox;
    box->setObjectName(QLatin1String(s.Name));
    column->addWidget(box);
  }
  column->addSpacing(gap / 2);
  column->addWidget(BuildActiveModePanel());
  column->addStretch(1);
  // On a small screen or at a large scale the boxes are scrolled to, never cut off.
  auto* scroller = new QScrollArea;
  scroller->setObjectName(QStringLiteral("switchScroller"));
  scroller->setFrameShape(QFrame::NoFrame);
  scroller->setWidgetResizable(true);
  scroller->setWidget(switchPanel);
  scroller->setMinimumWidth(switchPanel->minimumSizeHint().width() +
                            scroller->verticalScrollBar()->sizeHint().width());
  return scroller;
}

QWidget* SettingsPage::BuildActiveModePanel() {
  auto* activeModePanel = new QWidget;
  activeModePanel->setObjectName(QStringLiteral("activeModePanel"));
  auto* activeModeBox = new QCheckBox;
  activeModeBox->setObjectName(QStringLiteral("activeModeBox"));
  intervalField_ = new QLineEdit(ToQt(app_.IntervalText));
  intervalField_->setObjectName(QStringLiteral("intervalField"));
  // Wide enough for the largest interval and a digit more while it is typed.
  const QString widest = QString(QString::number(kMaxIntervalSeconds).size() + 1, QLatin1Char('8'));
  intervalField_->setFixedWidth(intervalField_->fontMetrics().horizontalAdvance(widest) +
                                intervalField_->fontMetrics().height());
  auto* intervalSpin = new QWidget;
  intervalSpin->setObjectName(QStringLiteral("intervalSpin"));
  auto* arrows = new QVBoxLayout(intervalSpin);
  arrows->setContentsMargins(0, 0, 0, 0);
  arrows->setSpacing(1);
  auto arrow = [&](const char* name, Qt::ArrowType type) {
    auto* button = new QToolButton;
    button->setObjectName(QLatin1String(name));
    button->setArrowType(type);
    button->setAutoRepeat(true);
    // The two arrows share the field's height between them.
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Ignored);
    arrows->addWidget(button);
    return button;
  };
  QToolButton* up = arrow("intervalUp", Qt::UpArrow);
  QToolButton* down = arrow("intervalDown", Qt::DownArrow);
  intervalSpin->setFixedHeight(intervalField_->sizeHint().height());
  auto* seconds = new QLabel(QStringLiteral("秒"));
  auto* fieldRow = new QHBoxLayout;
  fieldRow->setSpacing(0);
  fieldRow->addWidget(intervalField_);
  fieldRow->addWidget(intervalSpin);
  fieldRow->addSpacing(intervalField_->fontMetrics().averageCharWidth());
  fieldRow->addWidget(seconds);
  fieldRow->addStretch(1);
  auto* rows = new QVBoxLayout(activeModePanel);
  rows->setContentsMargins(0, 0, 0, 0);
  rows->addWidget(activeModeBox);
  rows->addLayout(fieldRow);
  connect(intervalField_, &QLineEdit::textChanged, this, [this](const QString& t) { OnIntervalText(t); });
  connect(intervalField_, &QLineEdit::editingFinished, this, [this] { OnIntervalEditingFinished(); });
  connect(up, &QToolButton::clicked, this, [this] { StepInterval(1); });
  connect(down, &QToolButton::clicked, this, [this] { StepInterval(-1); });
  return activeModePanel;
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
  host_.ShowError(QStringLiteral("'%1' は %2 から %3 までの秒数ではありません。")
                      .arg(text)
                      .arg(kMinIntervalSeconds)
                      .arg(kMaxIntervalSeconds));
}

void SettingsPage::StepInterval(int delta) {
  // The new text goes the way a typed one does (OnIntervalText).
  intervalField_->setText(ToQt(SteppedIntervalText(app_, delta)));
}

}  // namespace mizuto
