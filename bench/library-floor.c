/* The boot-cost benchmark's floor: a program that only loads the board library
 * and calls it, as the tool does before anything else. What the tool costs
 * beyond it is its own work and its sandbox. */
#include <stdbool.h>

struct ConfigTable {
    char other[344];
    char pcbaMac[176];
};
bool BcGetConfigTable(struct ConfigTable* table);

int main(void)
{
    struct ConfigTable table;
    return BcGetConfigTable(&table) ? 0 : 1;
}
