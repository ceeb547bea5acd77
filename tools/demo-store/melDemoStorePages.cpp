#include "melDemoStorePages.h"

#include "melDemoStoreOffer.h"

#include <QUrl>

#include <sstream>
#include <vector>

namespace {

constexpr const char *cStyle = R"(
  :root { color-scheme: dark; }
  body { margin: 0; background: #15171c; color: #d9dce3;
         font: 15px/1.45 "DejaVu Sans", "Helvetica Neue", Arial, sans-serif; }
  header { display: flex; align-items: center; justify-content: space-between;
           padding: 14px 28px; background: #1e2128; border-bottom: 1px solid #2b2f38; }
  header .brand { font-size: 20px; font-weight: bold; color: #f2c14e; letter-spacing: .5px; }
  header nav a { margin-left: 18px; white-space: nowrap; }
  @media (max-width: 640px) {
    header { padding: 10px 16px; }
    header .brand { font-size: 16px; }
    header nav a { margin-left: 10px; font-size: 13px; }
    main { padding: 14px 16px 32px; }
  }
  main { max-width: 980px; margin: 0 auto; padding: 24px 28px 48px; }
  h1 { font-size: 24px; margin: 8px 0 4px; color: #f4f5f7; }
  p.lead { color: #9aa1ad; margin-top: 0; }
  a { color: #7fb6ff; text-decoration: none; }
  a:hover { text-decoration: underline; }
  .grid { display: grid; grid-template-columns: repeat(auto-fill, minmax(280px, 1fr)); gap: 16px; }
  .card { background: #1e2128; border: 1px solid #2b2f38; border-radius: 8px; padding: 16px; }
  .card h2 { font-size: 17px; margin: 0 0 6px; color: #f4f5f7; }
  .meta { color: #9aa1ad; font-size: 13px; }
  .card ul { margin: 10px 0 12px; padding-left: 18px; font-size: 13px; color: #c3c8d2; }
  .new { color: #f2c14e; font-size: 11px; text-transform: uppercase; margin-left: 4px; }
  .buy { display: flex; align-items: center; justify-content: space-between; }
  .price { font-weight: bold; color: #f4f5f7; }
  a.button, button { display: inline-block; background: #f2c14e; color: #15171c; border: 0;
                     border-radius: 5px; padding: 7px 16px; font-weight: bold; cursor: pointer; }
  a.button:hover { text-decoration: none; background: #ffd36b; }
  form { background: #1e2128; border: 1px solid #2b2f38; border-radius: 8px; padding: 20px;
         max-width: 340px; }
  label { display: block; margin: 10px 0 4px; color: #9aa1ad; font-size: 13px; }
  input { width: 100%; box-sizing: border-box; padding: 7px; background: #15171c;
          color: #d9dce3; border: 1px solid #3a3f4a; border-radius: 4px; }
  .error { color: #ff8a80; }
  iframe { width: 100%; height: 640px; border: 1px solid #2b2f38; border-radius: 8px; }
  footer { color: #6b7280; font-size: 12px; text-align: center; padding: 18px; }
)";

std::string Page(const std::string &aTitle, const std::string &aBody) {
  std::ostringstream out;
  out << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
      << "<title>" << HtmlEscaped(aTitle) << " - Melodra Lesson Store</title><style>" << cStyle
      << "</style></head><body>\n<header><span class=\"brand\">Melodra Lesson Store</span>"
      << "<nav><a href=\"/downloadStore/index.php\">Lessons</a>"
      << "<a href=\"/downloadStore/login.php\">Log in</a>"
      << "<a href=\"/downloadStore/logout.php\">Log out</a>"
      << "<a href=\"/support.php\">Support</a></nav></header>\n<main>\n"
      << aBody << "</main>\n<footer>A demo store: nothing is charged.</footer>\n</body></html>\n";
  return out.str();
}

std::string Utf8(const QString &aText) {
  return HtmlEscaped(aText.toStdString());
}

} // namespace

std::string HtmlEscaped(const std::string &aText) {
  std::string out;
  for (const char c : aText) {
    switch (c) {
    case '&': out += "&amp;"; break;
    case '<': out += "&lt;"; break;
    case '>': out += "&gt;"; break;
    case '"': out += "&quot;"; break;
    case '\'': out += "&#39;"; break;
    default: out += c;
    }
  }
  return out;
}

std::string StoreIndexPage(const std::string &aPlainBase, const std::string &aUser) {
  std::ostringstream body;
  body << "<h1>Video lessons</h1>\n<p class=\"lead\">"
       << (aUser.empty() ? std::string("Log in to download what you buy.")
                         : "Logged in as " + HtmlEscaped(aUser) + ".")
       << "</p>\n<div class=\"grid\">\n";
  for (const tDemoStoreItemC &item : DemoStoreItems()) {
    const std::string link = aPlainBase + "/downloadStore/downloadRedirect.php?item=" +
                             QUrl::toPercentEncoding(item.mId).toStdString();
    body << "<div class=\"card\"><h2>" << Utf8(item.mTitle) << "</h2>\n<div class=\"meta\">"
         << Utf8(item.mArtist) << " &middot; " << Utf8(item.mLevel) << " &middot; "
         << item.mLessons.size() << " lessons</div>\n<ul>";
    for (const tDemoStoreLessonC &lesson : item.mLessons) {
      body << "<li>" << Utf8(lesson.mLesson.mName)
           << (lesson.mStoreOnly ? "<span class=\"new\">new</span>" : "") << "</li>";
    }
    body << "</ul>\n<div class=\"buy\"><span class=\"price\">" << Utf8(item.mPrice)
         << "</span><a class=\"button\" href=\"" << HtmlEscaped(link) << "\">Download</a></div>"
         << "</div>\n";
  }
  body << "</div>\n";
  return Page("Lessons", body.str());
}

std::string LoginPage(const std::string &aError) {
  std::ostringstream body;
  body << "<h1>Log in</h1>\n<p class=\"lead\">The demo account is <b>demo</b> with the password "
       << "<b>lessons</b>.</p>\n";
  if (!aError.empty())
    body << "<p class=\"error\">" << HtmlEscaped(aError) << "</p>\n";
  body << "<form method=\"post\" action=\"/downloadStore/login.php\">"
       << "<label for=\"user\">User name</label><input id=\"user\" name=\"user\" "
       << "autocomplete=\"username\">"
       << "<label for=\"password\">Password</label><input id=\"password\" name=\"password\" "
       << "type=\"password\" autocomplete=\"current-password\">"
       << "<p><button type=\"submit\">Log in</button></p></form>\n";
  return Page("Log in", body.str());
}

std::string LoggedInPage(const std::string &aUser) {
  return Page("Logged in",
              "<h1>Welcome back, " + HtmlEscaped(aUser) +
                  "</h1>\n<p class=\"lead\">You are logged in. Lessons you buy download "
                  "into your library; a waiting one starts with a double-click."
                  "</p>\n<p><a class=\"button\" "
                  "href=\"/downloadStore/index.php\">Browse lessons</a></p>\n");
}

std::string LoggedOutPage() {
  return Page("Logged out", "<h1>Logged out</h1>\n<p class=\"lead\">See you soon.</p>\n"
                            "<p><a href=\"/downloadStore/login.php\">Log in again</a></p>\n");
}

std::string FramePage() {
  return Page("Featured", "<h1>Featured lessons</h1>\n"
                          "<iframe src=\"/downloadStore/index.php\" title=\"Lessons\"></iframe>\n");
}

std::string SupportPage() {
  return Page("Support",
              "<h1>Support</h1>\n<p class=\"lead\">Questions about a lesson or a download?</p>\n"
              "<p>Downloads resume where they stopped; a lesson that fails to download can be "
              "resumed from the lesson list. This demo store runs on your own computer.</p>\n");
}

std::string UpdatesPage(const std::string &aVersion, const std::string &aLatest) {
  const auto parts = [](const std::string &aText) {
    std::vector<long> numbers;
    std::istringstream in(aText);
    std::string part;
    while (std::getline(in, part, '.'))
      numbers.push_back(std::strtol(part.c_str(), nullptr, 10));
    return numbers;
  };
  std::string text;
  if (aVersion.empty())
    text = "The newest version is " + aLatest + ".";
  else if (parts(aVersion) >= parts(aLatest))
    text = "Version " + aVersion + " is up to date.";
  else
    text = "Version " + aLatest + " is available; you have " + aVersion + ".";
  return Page("Updates", "<h1>Updates</h1>\n<p class=\"lead\">" + HtmlEscaped(text) + "</p>\n");
}

std::string MessagePage(const std::string &aTitle, const std::string &aText) {
  return Page(aTitle, "<h1>" + HtmlEscaped(aTitle) + "</h1>\n<p class=\"lead\">" +
                          HtmlEscaped(aText) + "</p>\n");
}
