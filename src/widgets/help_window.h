#pragma once

#include <QWidget>

class QTextBrowser;

namespace quorvel {

// The help viewer: one top-level window with the help pages in a text browser, the links between
// pages and the back, forward and contents buttons. One window serves every request.
class HelpWindow : public QWidget {
  Q_OBJECT

 public:
  explicit HelpWindow(QWidget* owner);

  // Shows a page of the help folder.
  void ShowPage(const QString& path);
  QTextBrowser* browser() const { return browser_; }

 private:
  void UpdateTitle();

  QTextBrowser* browser_ = nullptr;
  QString index_path_;
};

// Opens the help at a topic: the page of the topic's context number, or the default topic for an
// empty topic text (or a number without a page). The open help window is reused and brought
// forward; a new one is owned by `owner`'s window. Gives the window, or null when the folder
// holds no such page (the help is not available).
HelpWindow* ShowHelpTopic(QWidget* owner, const QString& help_folder, const QString& topic_text);

}  // namespace quorvel
