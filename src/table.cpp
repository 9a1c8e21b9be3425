// Keyed table: fixed-size data blocks found by one to four text keys through
// per-key hash buckets, and walked in the order they were entered.
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "vok.h"

namespace {

char* copy_key(const char* key)
{
    const std::size_t n = std::strlen(key) + 1;
    auto* p = static_cast<char*>(std::malloc(n));
    if (p) std::memcpy(p, key, n);
    return p;
}

}  // namespace

int TAB_key(const TAB_table* table, const char* key)
{
    // Polynomial hash over signed bytes in unsigned 64-bit arithmetic,
    // reduced at every step. An 8-bit byte adds a negative value, which wraps
    // modulo 2^64 before the reduction; station tables are sized for exactly
    // this spread, so it is kept as it is.
    std::uint64_t h = 0;
    for (const char* c = key; *c; ++c) {
        const auto sc = static_cast<std::int64_t>(static_cast<signed char>(*c));
        h = (h * 257u + static_cast<std::uint64_t>(sc)) % 35177u;
    }
    if (!table || table->tab_size <= 0) return 0;
    return static_cast<int>(h % static_cast<std::uint64_t>(table->tab_size));
}

int TAB_init(TAB_table* table)
{
    table->data_ptr = nullptr;
    table->head_ptr = nullptr;
    table->last_ptr = nullptr;
    table->num_entry = 0;
    table->numkey = 0;
    return 0;
}

int TAB_create(TAB_table* table, int buckets, int data_size, int numkey)
{
    TAB_init(table);
    for (auto& t : table->table) t = nullptr;
    if (numkey < 1) numkey = 1;
    if (numkey > TAB_MAX_KEYS) numkey = TAB_MAX_KEYS;
    if (buckets < 0) buckets = 0;
    if (data_size < 0) data_size = 0;
    table->tab_size = buckets;
    table->data_size = data_size;
    table->numkey = numkey;
    for (int k = 0; k < numkey; ++k) {
        if (buckets == 0) continue;
        auto* heads = static_cast<TAB_entry*>(std::calloc(static_cast<std::size_t>(buckets), sizeof(TAB_entry)));
        if (!heads) return -1;
        table->table[k] = heads;
    }
    return 0;
}

int TAB_enter(TAB_table* table, const void* data, ...)
{
    if (!table || table->tab_size <= 0 || table->numkey < 1) return -1;
    const char* keys[TAB_MAX_KEYS] = {};
    va_list ap;
    va_start(ap, data);
    for (int k = 0; k < table->numkey; ++k) {
        keys[k] = va_arg(ap, const char*);
        if (!keys[k]) keys[k] = "";
    }
    va_end(ap);

    TAB_entry* chosen[TAB_MAX_KEYS] = {};
    for (int k = 0; k < table->numkey; ++k) {
        if (!table->table[k]) return -1;
        TAB_entry* e = &table->table[k][TAB_key(table, keys[k])];
        // The bucket head serves the first key of the bucket; later keys
        // queue behind it in the order they came.
        while (e->key && e->link) e = e->link;
        if (e->key) {
            auto* n = static_cast<TAB_entry*>(std::calloc(1, sizeof(TAB_entry)));
            if (!n) return -1;
            e->link = n;
            e = n;
        }
        chosen[k] = e;
    }
    // The block comes first so that no keyed entry is ever left without data.
    auto* block = static_cast<unsigned char*>(std::malloc(static_cast<std::size_t>(table->data_size > 0 ? table->data_size : 1)));
    if (!block) return -1;
    for (int k = 0; k < table->numkey; ++k) {
        chosen[k]->key = copy_key(keys[k]);
        if (!chosen[k]->key) {
            for (int j = 0; j < k; ++j) {
                std::free(chosen[j]->key);
                chosen[j]->key = nullptr;
            }
            std::free(block);
            return -1;
        }
    }
    if (table->data_size > 0 && data) std::memcpy(block, data, static_cast<std::size_t>(table->data_size));
    for (int k = 0; k < table->numkey; ++k) chosen[k]->data = block;

    TAB_entry* first = chosen[0];
    first->next = nullptr;
    if (!table->head_ptr) table->head_ptr = first;
    else table->last_ptr->next = first;
    table->last_ptr = first;
    table->num_entry++;
    return 0;
}

void* TAB_search(TAB_table* table, int keynum, const char* key)
{
    if (!table || table->tab_size <= 0 || !key || keynum < 1 || keynum > table->numkey) return nullptr;
    const TAB_entry* e = &table->table[keynum - 1][TAB_key(table, key)];
    while (e && e->key) {
        if (std::strcmp(e->key, key) == 0) return e->data;
        e = e->link;
    }
    return nullptr;
}

int TAB_first(TAB_table* table)
{
    table->data_ptr = table->head_ptr;
    return 0;
}

void* TAB_next(TAB_table* table)
{
    if (!table || table->tab_size <= 0 || !table->data_ptr) return nullptr;
    void* d = table->data_ptr->data;
    table->data_ptr = table->data_ptr->next;
    return d;
}

int TAB_free(TAB_table* table)
{
    if (!table) return 0;
    for (int k = 0; k < table->numkey && k < TAB_MAX_KEYS; ++k) {
        TAB_entry* heads = table->table[k];
        if (!heads) continue;
        for (int b = 0; b < table->tab_size; ++b) {
            TAB_entry* e = &heads[b];
            std::free(e->key);
            if (k == 0) std::free(e->data);  // blocks belong to the key-0 entries
            TAB_entry* n = e->link;
            while (n) {
                TAB_entry* after = n->link;
                std::free(n->key);
                if (k == 0) std::free(n->data);
                std::free(n);
                n = after;
            }
        }
        std::free(heads);
        table->table[k] = nullptr;
    }
    table->tab_size = 0;
    TAB_init(table);
    return 0;
}
