voices of 1.01, dropped in 1.02
