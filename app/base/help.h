// The program's help: topics by context number, shown in one help window. A help file such as
// "<program folder>Glimmora.hlp" is the folder "<program folder>help/Glimmora.hlp/" holding one
// page per topic ("<context>.html") and the contents page "index.html".
#pragma once

#include <QString>

class QTextBrowser;

namespace glim::help {

// The page file of a topic, of the contents, or of a named page ("online" -> online.html).
QString topicPage(const QString& helpFile, int context);
QString contentsPage(const QString& helpFile);
QString namedPage(const QString& helpFile, const QString& name);

// Show the page in the help window (created on first use, raised when already open). A
// missing page shows nothing and returns false; callers ignore that, as help failures are
// never reported.
bool showTopic(const QString& helpFile, int context);
bool showContents(const QString& helpFile);
bool showPage(const QString& helpFile, const QString& name);

// The open help window's browser, or nullptr.
QTextBrowser* openBrowser();

}  // namespace glim::help
