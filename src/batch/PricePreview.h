// The review without a window: sub-categories loaded as the data view loads
// them, priced by the calculation's own rule, and written out as CSV beside
// the prices PRODUCT holds. Reads only; nothing is written to the database.
//
// CSV (UTF-8, quoted as the price journal quotes):
//   PROD_ID,PROD_NAME,STD_COST,D_PROFIT1,...,D_PROFIT6,
//     old SALE_PRICE,new SALE_PRICE,change SALE_PRICE, ... the same for the other five tiers
//   one line per product, in load order
//   summary,rows,N,raised,N,lowered,N,unchanged,N,below cost,N,never computed,N,no old price,N
// An empty price is a null; "missing" as the old price is a product that
// PRODUCT did not have; the change is in percent of the old price.
#pragma once

#include <QByteArray>
#include <QIODevice>
#include <string>
#include <vector>

#include "PriceReview.h"
#include "ProductWorkTable.h"
#include "ReadService.h"
#include "ResultProvider.h"
#include "ServerQuery.h"

namespace batch {

class TPricePreview {
public:
    explicit TPricePreview(db::TDataLinkConnection& connection);

    // Appends the sub-category's products; false when PROD_ITEM has no such
    // key (nothing is appended then). key: Big5 bytes.
    bool load(const std::string& key);
    // Every row by the calculation's rule. A row that cannot be priced (an
    // empty cost or rate, a price beyond the 32-bit range) keeps no new
    // prices; the message of each such row is given back, naming its product.
    std::vector<std::string> price();
    // The whole CSV, summary line included. Raises rt::AppError when out
    // refuses the bytes.
    void writeCsv(QIODevice& out) const;

    const TProductWorkTable& table() const { return table_; }

private:
    QList<QByteArray> rowFields(int row) const;

    db::TDataLinkConnection& connection_;
    db::TServerQuery query_;
    db::TResultProvider provider_;
    db::TReadService dataSet_;
    TProductWorkTable table_;
};

// The CSV's last line for these counts.
QByteArray previewSummaryLine(const ReviewCounts& counts);

}  // namespace batch
