#pragma once
// What a domain function works on: the database file and the member whose rows
// these are, and the transaction the caller holds when it wants several
// operations to stand or fall together. Nothing is joined unseen: a function joins
// a transaction only when the store it is given names it.

#include <QString>

#include "domain/db/Database.h"

namespace gd {

struct Store {
    QString file;  // the database
    QString user;  // "Standarduser" of the rows
    Transaction* tx = nullptr;

    // The transaction's connection, or the file's.
    Database open() const;
    // The same store inside the caller's transaction.
    Store within(Transaction& t) const {
        Store s = *this;
        s.tx = &t;
        return s;
    }
};

// The store the settings in force name: their database as their member. For the
// functions that keep their historic names and take no store.
Store currentStore();

}  // namespace gd
