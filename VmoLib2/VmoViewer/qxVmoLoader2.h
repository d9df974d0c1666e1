// Finding the show package behind a host file and opening its entries.
#pragma once
