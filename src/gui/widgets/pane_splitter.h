// A splitter whose side panes keep their sizes. A pane docked to an edge is exactly as large
// as the player last dragged it, or as the settings file said; the one filling pane takes
// what is left. A window that is small for a while squeezes the panes on screen but changes
// no kept size, and a page that was never shown keeps them as they were read, so the sizes
// written at shut-down are the ones the player chose.
#pragma once

#include <QSplitter>
#include <vector>

namespace mizuto {

class PaneSplitter : public QSplitter {
  Q_OBJECT

 public:
  enum class Edge { Leading, Trailing };  // left or top; right or bottom

  PaneSplitter(const char* name, Qt::Orientation orientation);

  // Adds the pane that takes the room the docked panes leave.
  void AddFilling(QWidget* pane);
  // Adds a pane docked to `edge`, as large as `*size` says. `*size` is where its size is
  // kept (a setting): a drag of the pane's handle writes it, and nothing else does.
  void AddDocked(QWidget* pane, Edge edge, int* size);

  // Lays the panes out from the kept sizes, e.g. after a pane was shown again.
  void Refit();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  struct Pane {
    Edge Side = Edge::Leading;
    int* Size = nullptr;  // nullptr for the filling pane
  };
  void HandleMoved(int index);

  std::vector<Pane> panes_;
};

// A panel named `name`, without margins, that `child` fills.
QWidget* FillingPanel(const char* name, QWidget* child);

}  // namespace mizuto
