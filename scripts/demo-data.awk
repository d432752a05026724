# Writes the demo catalogue as SQL (UTF-8; the caller converts it to Big5).
# One input line per sub-category:
#   key|name|six rates|brands|items|sizes|lowest cost|highest cost
# Products are every brand x item x size up to the per-category count, with
# barcode-like numbers and costs drawn from a fixed seed, so every run writes
# the same catalogue.
BEGIN { FS = "|"; srand(20261208); serial = 0 }

function sql_text(value) {
    gsub(/'/, "''", value)
    return "'" value "'"
}

function cost_between(low, high,    cost) {
    cost = low + rand() * (high - low)
    # Most costs are whole dollars; some carry cents, as bought in bulk.
    if (rand() < 0.7) return int(cost + 0.5)
    return sprintf("%.2f", cost)
}

function barcode(    digits, i, sum, check) {
    serial++
    digits = sprintf("471%09d", 100000 + serial * 37)
    sum = 0
    for (i = 1; i <= 12; i++) sum += substr(digits, i, 1) * (i % 2 ? 1 : 3)
    check = (10 - sum % 10) % 10
    return digits check
}

/^#/ || NF < 8 { next }

{
    key = $1; name = $2
    split($3, rate, ",")
    printf "INSERT INTO PROD_ITEM (PD_ITEMID, PD_ITEMNAME, D_PROFIT1, D_PROFIT2, D_PROFIT3, D_PROFIT4, D_PROFIT5, D_PROFIT6) VALUES (%s, %s, %s, %s, %s, %s, %s, %s);\n", \
        sql_text(key), sql_text(name), rate[1], rate[2], rate[3], rate[4], rate[5], rate[6]
    brandCount = split($4, brand, ",")
    itemCount = split($5, item, ",")
    sizeCount = split($6, size, ",")
    for (b = 1; b <= brandCount; b++)
        for (i = 1; i <= itemCount; i++)
            for (s = 1; s <= sizeCount; s++) {
                # A few products of one sub-category have no standard cost
                # yet, so that pricing them stops until one is typed in.
                cost = (key == "C02" && rand() < 0.05) ? "NULL" : cost_between($7, $8)
                printf "INSERT INTO PRODUCT (PROD_ID, PROD_NAME, STD_COST, PD_ITEMID) VALUES (%s, %s, %s, %s);\n", \
                    sql_text(barcode()), sql_text(brand[b] item[i] size[s]), cost, sql_text(key)
            }
}
