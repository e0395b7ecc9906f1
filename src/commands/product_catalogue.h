// The local product catalogue: every folder directly inside the content
// folder that holds a pro.xml is an installed product; GetLocalProduct
// collects their descriptions into localList.xml in the content folder root,
// where the page fetches it as /localList.xml.
#pragma once

#include <functional>
#include <string>

class CommandHost;

// Name of the product list file in the content folder root.
inline constexpr const wchar_t* kProductListName = L"localList.xml";
// Name of a product's description file inside its folder.
inline constexpr const wchar_t* kProductDescriptionName = L"pro.xml";

// The GetLocalProduct command. Main thread, inside the page's WinFun call.
// Runs "SetLocProBar(0);", then scans the product folders of the host's
// content folder in case-insensitive name order; for each folder
// whose pro.xml is a regular file that parses and holds an element, appends a
// deep copy of its first element to <ProductList> and runs "SetLocProBar(2);".
// Folders without pro.xml, or with one that is unreadable, does not parse or
// holds no element, are left out silently. The list (declaration line, then
// ProductList, printed by the XML library) is written to a temporary file and
// renamed over localList.xml, so a failed write leaves any earlier list whole.
// Ends with "SetLocProBar(1);" whether or not the write succeeded.
void GetLocalProduct(CommandHost& host);

// The same scan and write over an explicit content folder, without page
// statements except through `on_product`, which runs once per product right
// after it is added. Returns true when localList.xml was written and renamed
// into place. Main thread (or any single thread that owns the folder).
bool WriteLocalProductList(const std::wstring& content_dir,
                           const std::function<void()>& on_product);
