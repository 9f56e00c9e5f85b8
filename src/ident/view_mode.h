#pragma once
// How the reading page shows identifiers: decimal, hex text as received, or
// through the operator's template. The numbers are the ones the settings file
// stores.

namespace terva::ident {

enum class ViewMode { Dec = 1, Hex = 2, Cst = 3 };

}  // namespace terva::ident
