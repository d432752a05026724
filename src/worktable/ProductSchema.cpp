#include "ProductSchema.h"

namespace product {

const std::array<TFieldDef, kFieldCount>& fieldDefs() {
    static const std::array<TFieldDef, kFieldCount> defs{{
        {"PROD_ID", TFieldType::String, kIdSize},
        {"PROD_NAME", TFieldType::String, kNameSize},
        {"STD_COST", TFieldType::Float, 0},
        {"D_PROFIT1", TFieldType::Float, 0},
        {"D_PROFIT2", TFieldType::Float, 0},
        {"D_PROFIT3", TFieldType::Float, 0},
        {"D_PROFIT4", TFieldType::Float, 0},
        {"D_PROFIT5", TFieldType::Float, 0},
        {"D_PROFIT6", TFieldType::Float, 0},
        {"D_PRICE1", TFieldType::Float, 0},
        {"D_PRICE2", TFieldType::Float, 0},
        {"D_PRICE3", TFieldType::Float, 0},
        {"D_PRICE4", TFieldType::Float, 0},
        {"D_PRICE5", TFieldType::Float, 0},
        {"D_PRICE6", TFieldType::Float, 0},
    }};
    return defs;
}

const std::array<std::string_view, kFieldCount>& columnTitlesUtf8() {
    // The large-batch rate title has no 價, unlike the other five.
    static const std::array<std::string_view, kFieldCount> titles{
        "商品編號", "商品名稱", "商品成本", "市價獲利率", "一般價獲利率",
        "大批獲利率", "小批價獲利率", "門市價獲利率", "會員價獲利率", "市價",
        "一般價", "大批價", "小批價", "門市價", "會員價",
    };
    return titles;
}

}  // namespace product
