// customers
