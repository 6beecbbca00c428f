# benchmark targets: soak
