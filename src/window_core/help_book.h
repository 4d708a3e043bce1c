#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <optional>

namespace quorvel {

// The program's help: a folder of HTML pages, one per help context number ("1022.html") and a
// default topic ("index.html"). Controls carry context numbers as tag texts; an empty tag means
// the default topic.
class HelpBook {
 public:
  // The context numbers that the windows' controls carry, each with its own page.
  static constexpr std::array<int, 14> kContexts{1002, 1006, 1007, 1008, 1009, 1010, 1011,
                                                 1014, 1015, 1020, 1021, 1022, 1023, 1024};

  explicit HelpBook(QString folder);

  const QString& folder() const { return folder_; }
  // The help counts as available when the default topic exists.
  bool Available() const;
  // The default topic's file.
  QString IndexPath() const;
  // The page of a context number; the default topic for no number, or for a number that has
  // no page in the folder.
  QString TopicPath(std::optional<int> context) const;

 private:
  QString folder_;
};

// The file name of a context number's page, as in "1022.html".
QString TopicFileName(int context);

// The context number of a tag text: nothing for an empty text (and for a text that is not a
// whole decimal number, which no control carries), else the number.
std::optional<int> ContextOfTag(QStringView tag);

// The help folder of a program whose executable lies in `application_dir`: "help" beside the
// executable when that folder holds the default topic (the build tree, where the build copies
// the pages next to the program), else the installed layout "<prefix>/share/quorvel/help" for
// "<prefix>/bin". The installed path is also the answer when neither exists, so that the help
// reads as not available.
QString HelpFolderFor(const QString& application_dir);

}  // namespace quorvel
