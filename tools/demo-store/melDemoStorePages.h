#pragma once

#include <string>

// The store's HTML pages, UTF-8. aPlainBase is "http://host:port", the
// address the download links use; aUser is empty when nobody is logged in.
std::string StoreIndexPage(const std::string &aPlainBase, const std::string &aUser);
std::string LoginPage(const std::string &aError);
std::string LoggedInPage(const std::string &aUser);
std::string LoggedOutPage();
std::string FramePage();
std::string SupportPage();
// aVersion as the program sent it; aLatest the newest version there is.
std::string UpdatesPage(const std::string &aVersion, const std::string &aLatest);
std::string MessagePage(const std::string &aTitle, const std::string &aText);

std::string HtmlEscaped(const std::string &aText);
